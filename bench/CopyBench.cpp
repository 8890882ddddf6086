// How fast recordings are copied from the telephone emulator into files,
// against bare 256-byte ReadMemory exchanges on the same link in the same
// run. The 100 ms that every recording's header costs (the telephone needs
// it) is measured apart and taken out.
//
//   bench_copy
#include "catalogue/RecordingHeader.h"
#include "device/DeviceLink.h"
#include "platform/usb/EmulatorDeviceLibrary.h"
#include "transfer/StorageThreadUnit.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace parlomax;
using Clock = std::chrono::steady_clock;

namespace {

class FailOnMessage final : public shell::MessageService {
 public:
  std::vector<QString> seen;
  void Show(const QString&, const QString& text, shell::MessageIcon) override { seen.push_back(text); }
  bool AskOkCancel(const QString&) override { return false; }
};

class NullView final : public transfer::TransferView {
 public:
  void ShowProgressText(const QString&) override {}
  void SetRecordingBar(std::uint32_t, std::uint32_t) override {}
  void SetOverallBar(std::uint32_t, std::uint32_t) override {}
  void EndJob(transfer::JobKind, std::uint64_t, bool) override {}
  void CloseProgram() override {}
};

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

}  // namespace

int main() {
  const auto base = std::filesystem::temp_directory_path() / ("parlomax-bench-copy-" + std::to_string(::getpid()));
  const auto sockets = base / "sockets";
  const auto files = base / "files";
  std::filesystem::create_directories(sockets);
  std::filesystem::create_directories(files);
  std::filesystem::permissions(sockets, std::filesystem::perms::owner_all);
  const std::string socketsText = sockets.string();
  // Six recordings, the second of them over an hour long: about 4.4 MB in all.
  const char* phoneArgv[] = {PARLOMAX_PHONE_PROGRAM, "--folder", socketsText.c_str(), "--generate", "6",
                             "--seed", "2", nullptr};
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t phone = 0;
  if (posix_spawn(&phone, phoneArgv[0], &quiet, nullptr, const_cast<char**>(phoneArgv), environ) != 0) return 1;

  usb::EmulatorDeviceLibrary library(sockets);
  FailOnMessage messages;
  device::DeviceLink link(library, messages);
  for (int i = 0; i < 3000 && link.CountDevices() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (!link.OpenFirstDevice()) return 1;
  link.LoggedIn = true;

  std::array<std::uint8_t, 2> countBytes{};
  link.Exchange(device::Command::ReadCount(), device::FramePreparation::KeepOtherBytes, countBytes);
  const unsigned count = countBytes[0] + 256u * countBytes[1];
  std::uint64_t payload = 0;
  for (unsigned i = 0; i < count; ++i) {
    catalogue::RecordingHeader header{};
    link.Exchange(device::Command::ReadHeader(static_cast<std::uint16_t>(i)),
                  device::FramePreparation::ClearWholeFrame, header);
    payload += catalogue::PayloadLength(header);
  }

  // The whole job as the program runs it, and the same job without the
  // pause the telephone needs before each header.
  NullView view;
  const auto copy = [&](std::chrono::milliseconds pause) {
    transfer::TStorgeThread job(transfer::JobSetup{
        link, messages, view, QString::fromStdString(files.string()) + "/", 1, pause});
    const auto begin = Clock::now();
    job.Start(transfer::CopyJob::Priority::Normal);
    job.Wait();
    return Seconds(begin);
  };
  // Bare exchanges moving the same number of bytes, on a thread of their own
  // like the job's: 256 bytes at a time from the start of memory.
  const auto bare = [&] {
    const auto begin = Clock::now();
    std::thread runner([&] {
      std::array<std::uint8_t, 256> chunk{};
      for (std::uint64_t done = 0; done < payload; done += 256) {
        link.Exchange(device::Command::ReadMemory(static_cast<std::uint32_t>(done % (1 << 20)), 256),
                      device::FramePreparation::ClearWholeFrame, chunk);
      }
    });
    runner.join();
    return Seconds(begin);
  };

  const double withPauses = copy(transfer::kHeaderReplyPause);
  // A run takes well under a second: the two are taken in turns, nine times,
  // and the medians compared.
  std::vector<double> copies, bares;
  for (int i = 0; i < 9; ++i) {
    copies.push_back(copy(std::chrono::milliseconds(0)));
    bares.push_back(bare());
  }
  std::sort(copies.begin(), copies.end());
  std::sort(bares.begin(), bares.end());
  const double withoutPauses = copies[copies.size() / 2];
  const double copyRate = payload / withoutPauses;
  const double bareRate = payload / bares[bares.size() / 2];

  std::printf("bare ReadMemory exchanges:   %6.2f MB/s\n", bareRate / 1e6);
  std::printf("copy of %u recordings, %.2f MB: %.2f s; without the header pauses %.3f s (median of 9)\n", count,
              payload / 1e6, withPauses, withoutPauses);
  std::printf("copy rate without the pauses: %6.2f MB/s\n", copyRate / 1e6);
  std::printf("ratio: %.2f\n", copyRate / bareRate);
  if (messages.seen.size() != 10) std::printf("unexpected messages: %zu\n", messages.seen.size());

  ::kill(phone, SIGTERM);
  ::waitpid(phone, nullptr, 0);
  std::filesystem::remove_all(base);
  return 0;
}
