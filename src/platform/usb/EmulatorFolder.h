#pragma once

#include <filesystem>
#include <vector>

namespace parlomax::usb {

// Where running telephone emulators announce themselves: one socket and one
// lock file each, numbered from 1. An emulator holds its lock for as long as
// it runs, so a socket left behind by one that died is recognised as stale.
//
// The folder is $XDG_RUNTIME_DIR/parlomax, or /tmp/parlomax-<uid> where the
// session has no runtime folder.
std::filesystem::path DefaultEmulatorFolder();

std::filesystem::path EmulatorSocketPath(const std::filesystem::path& folder, int number);
std::filesystem::path EmulatorLockPath(const std::filesystem::path& folder, int number);

// A folder of the user's own that nobody else may write into. Only there is
// an emulator believed: in a folder someone else made or may change (in
// /tmp, say), that someone could plant a telephone of their own.
bool IsPrivateFolder(const std::filesystem::path& folder);

// The numbers of the emulators that are running and listening, in order;
// none in a folder that is not private.
std::vector<int> RunningEmulators(const std::filesystem::path& folder);

}  // namespace parlomax::usb
