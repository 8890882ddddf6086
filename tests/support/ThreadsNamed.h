#pragma once

#include "PumpEvents.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>

namespace parlomax::testing {

// How many of this process's threads carry `name`, as the system lists them:
// what a test can see of a job's thread from outside the window.
inline std::size_t ThreadsNamed(const std::string& name) {
  std::size_t count = 0;
  std::error_code ec;
  std::filesystem::directory_iterator tasks("/proc/self/task", ec);
  // Without the list every count would read 0, and every wait for threads
  // to end would pass at once.
  if (ec) ADD_FAILURE() << "cannot list this process's threads: " << ec.message();
  for (const auto& task : tasks) {
    std::string comm;
    std::getline(std::ifstream(task.path() / "comm"), comm);
    if (comm == name) ++count;
  }
  return count;
}

// The window's copy and conversion jobs, by their threads' names.
inline std::size_t CopyJobThreads() { return ThreadsNamed("parlomax-copy"); }
inline std::size_t ConversionJobThreads() { return ThreadsNamed("parlomax-wav"); }

// Runs the window's events until at most `left` threads carry `name`, then
// once more, so that what the ended ones handed over before they ended has
// landed.
inline bool PumpUntilThreadsNamed(const std::string& name, std::size_t left, int timeoutMs = 5000) {
  if (!PumpUntil([&] { return ThreadsNamed(name) <= left; }, timeoutMs)) return false;
  QCoreApplication::processEvents();
  return true;
}
inline bool PumpUntilNoThreadNamed(const std::string& name, int timeoutMs = 5000) {
  return PumpUntilThreadsNamed(name, 0, timeoutMs);
}
inline bool PumpUntilCopyJobsEnded(int timeoutMs = 5000) { return PumpUntilNoThreadNamed("parlomax-copy", timeoutMs); }
inline bool PumpUntilConversionJobsEnded(int timeoutMs = 5000) {
  return PumpUntilNoThreadNamed("parlomax-wav", timeoutMs);
}

}  // namespace parlomax::testing
