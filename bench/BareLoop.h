#pragma once

// What any listing of a folder costs at the least, to measure a listing by.
#include "BenchSupport.h"
#include "catalogue/RecordingHeader.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

namespace parlomax::bench {

// As a restart finds it: nothing of the folder or its files in memory
// (root only).
inline bool DropPageCache() {
  ::sync();
  std::ofstream control("/proc/sys/vm/drop_caches");
  control << "3\n";
  control.flush();
  return control.good();
}

// The least any listing does: every .spx entry opened, its header read.
inline double BareLoop(const std::filesystem::path& folder, std::uint32_t expected) {
  const auto start = std::chrono::steady_clock::now();
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
  if (!dir) bench::Fail("cannot read the folder");
  std::uint32_t read = 0;
  while (const dirent* e = ::readdir(dir.get())) {
    const std::size_t length = std::strlen(e->d_name);
    if (length < 4 || ::strcasecmp(e->d_name + length - 4, ".spx") != 0) continue;
    const int fd = ::openat(::dirfd(dir.get()), e->d_name, O_RDONLY | O_CLOEXEC);
    catalogue::RecordingHeader header;
    if (fd >= 0 &&
        ::pread(fd, header.data(), header.size(), 0) == static_cast<ssize_t>(header.size()))
      ++read;
    if (fd >= 0) ::close(fd);
  }
  const double seconds = bench::SecondsSince(start);
  if (read != expected) bench::Fail("the bare loop missed recordings");
  return seconds;
}

}  // namespace parlomax::bench
