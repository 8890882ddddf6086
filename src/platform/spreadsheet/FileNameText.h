#pragma once

#include <QString>

#include <filesystem>

namespace parlomax::spreadsheet {

// A file name handed to the automation server as text, such as SaveAs's.
// A Linux file name is bytes and need not be UTF-8; so that none is lost
// on the way, each byte that does not belong to a UTF-8 character travels
// as the lone surrogate U+DC80 + (byte - 0x80), which no real text holds
// (as Python's "surrogateescape" does). A UTF-8 name is its plain text.
QString FileNameText(const std::filesystem::path& file);
std::filesystem::path PathOfFileNameText(const QString& text);

}  // namespace parlomax::spreadsheet
