#pragma once

#include "platform/files/PathText.h"

#include <QString>

#include <filesystem>

namespace parlomax::files {

// What went wrong, in the user's words: the reasons a file cannot be
// written or read, in Chinese; any other number with the system's own text.
QString SystemReasonText(int error);

// "写入 <file> 失败：<reason>", the one message for a file whose writing failed.
QString WriteFailedText(const std::filesystem::path& file, int error);

}  // namespace parlomax::files
