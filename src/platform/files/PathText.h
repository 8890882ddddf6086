#pragma once

#include <QString>

#include <filesystem>

namespace parlomax::files {

// A path as the user reads it, and back: file names are bytes in the
// system's encoding, texts are Unicode.
QString PathText(const std::filesystem::path& path);
std::filesystem::path PathOf(const QString& text);

}  // namespace parlomax::files
