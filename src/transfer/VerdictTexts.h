#pragma once

#include "transfer/FolderVerify.h"

#include <QString>

namespace parlomax::transfer {

// A verdict in a word or two, as a person reads it.
QString VerdictText(Verdict verdict);
// What a person needs to know beside the verdict: sizes, when it was copied.
QString VerdictDetailText(const RecordingVerdict& r);

}  // namespace parlomax::transfer
