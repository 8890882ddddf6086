#pragma once

#include <filesystem>

namespace parlomax::files {

// Makes `folder` and whatever is missing above it, each new folder private
// to the user (0700): a folder of recordings is nobody else's business.
// Folders that exist keep their mode. 0, or the errno of what failed.
int MakePrivateFolders(const std::filesystem::path& folder);

}  // namespace parlomax::files
