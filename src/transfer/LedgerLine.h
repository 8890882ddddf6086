#pragma once

#include "transfer/Ledger.h"

#include <string>
#include <string_view>

namespace parlomax::transfer {

// One ledger line, without its newline: `record` and the SHA-256 (hex) of
// the line before it.
std::string LedgerLineText(const LedgerRecord& record, const std::string& prev);
// Whether `line` is a record (a JSON object with a name, a size, a SHA-256
// and the previous line's); fills `record` and `prev` when it is.
bool ParseLedgerLine(std::string_view line, LedgerRecord& record, std::string* prev = nullptr);

}  // namespace parlomax::transfer
