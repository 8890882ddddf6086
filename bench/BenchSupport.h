#pragma once

// What the benchmarks share: a telephone emulator program of their own, and
// stand-ins for the window.
#include "platform/shell/MessageService.h"
#include "platform/usb/EmulatorDeviceLibrary.h"
#include "transfer/TransferView.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace parlomax::bench {

[[noreturn]] inline void Fail(const char* why) {
  std::fprintf(stderr, "%s\n", why);
  std::exit(1);
}

// parlomax-phone with the given options, in a socket folder of its own, quiet
// on the terminal, plugged in until the object goes away.
class EmulatorProcess {
 public:
  // `folder`: where it announces itself, when not in a folder of its own.
  explicit EmulatorProcess(const std::vector<std::string>& options, std::filesystem::path folder = {})
      : folder_(!folder.empty() ? std::move(folder)
                                : std::filesystem::temp_directory_path() /
                                      ("parlomax-bench-" + std::to_string(::getpid()) + "-" + std::to_string(++made_))) {
    std::filesystem::create_directories(folder_);
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all);
    std::vector<std::string> args{PARLOMAX_PHONE_PROGRAM, "--folder", folder_.string()};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, argv[0], &quiet, nullptr, argv.data(), environ) != 0) Fail("cannot start the emulator");
    posix_spawn_file_actions_destroy(&quiet);
    usb::EmulatorDeviceLibrary library(folder_);
    std::uint32_t count = 0;
    for (int i = 0; i < 3000 && count == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      library.DeviceCount(count);
    }
    if (count == 0) Fail("the emulator did not come up");
  }
  ~EmulatorProcess() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    std::filesystem::remove_all(folder_);
  }

  const std::filesystem::path& Folder() const { return folder_; }

 private:
  static inline int made_ = 0;
  std::filesystem::path folder_;
  pid_t pid_ = 0;
};

// Remembers the messages instead of showing them.
class QuietMessages final : public shell::MessageService {
 public:
  std::vector<QString> seen;
  void Show(const QString&, const QString& text, shell::MessageIcon) override { seen.push_back(text); }
  bool AskOkCancel(const QString& text) override {
    seen.push_back(text);
    return false;
  }
  bool AskYesNo(const QString& text) override { return AskOkCancel(text); }
};

class NoView final : public transfer::TransferView {
 public:
  void ShowProgressText(const QString&) override {}
  void SetRecordingBar(std::uint32_t, std::uint32_t) override {}
  void SetOverallBar(std::uint32_t, std::uint32_t) override {}
  void EndJob(transfer::JobKind, bool) override {}
  void TelephoneFailed() override {}
};

inline double SecondsSince(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace parlomax::bench
