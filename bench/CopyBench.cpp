// How fast recordings are copied from the telephone emulator into files,
// against bare 256-byte ReadMemory exchanges on the same link in the same
// run. The 100 ms the telephone needs before each recording's header is left
// out: the copy is also timed without it.
//
//   bench_copy
#include "BenchSupport.h"
#include "catalogue/RecordingHeader.h"
#include "device/DeviceLink.h"
#include "device/PinLogin.h"
#include "transfer/StorageThreadUnit.h"

#include <algorithm>
#include <thread>

using namespace parlomax;
using Clock = std::chrono::steady_clock;

int main() {
  // Six recordings, the second of them over an hour long: about 4.3 MB in all.
  bench::EmulatorProcess phone({"--generate", "6", "--seed", "2"});
  const auto files = phone.Folder() / "files";
  std::filesystem::create_directories(files);

  usb::EmulatorDeviceLibrary library(phone.Folder());
  bench::QuietMessages messages;
  device::DeviceLink link(library, messages);
  if (!link.OpenFirstDevice()) bench::Fail("cannot open the emulator");
  if (device::LogIn(link, QStringLiteral("9174"), {}) != device::LoginOutcome::Accepted) {
    bench::Fail("the emulator refused its PIN");
  }

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

  // The whole job as the program runs it.
  bench::NoView view;
  const auto copy = [&](std::chrono::milliseconds pause) {
    transfer::TStorgeThread job(transfer::JobSetup{link, messages, view, files / "", pause});
    const auto begin = Clock::now();
    std::jthread([&job](std::stop_token stop) { job.Run(std::move(stop)); }).join();
    return bench::SecondsSince(begin);
  };
  // Bare exchanges moving the same number of bytes, on a thread of their own
  // like the job's: 256 bytes at a time from the start of memory.
  const auto bare = [&] {
    const auto begin = Clock::now();
    std::thread runner([&] {
      std::array<std::uint8_t, device::kMaxMemoryChunk> chunk{};
      for (std::uint64_t done = 0; done < payload; done += device::kMaxMemoryChunk) {
        link.Exchange(device::Command::ReadMemory(static_cast<std::uint32_t>(done % (1 << 20)), device::kMaxMemoryChunk),
                      device::FramePreparation::ClearWholeFrame, chunk);
      }
    });
    runner.join();
    return bench::SecondsSince(begin);
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
  const double copyRate = payload / copies[copies.size() / 2];
  const double bareRate = payload / bares[bares.size() / 2];

  std::printf("copy of %u recordings, %.2f MB: %.2f s with the header pauses\n", count,
              payload / 1e6, withPauses);
  std::printf("bare ReadMemory exchanges:     %6.2f MB/s (median of 9)\n", bareRate / 1e6);
  std::printf("copy without the header pauses: %6.2f MB/s (median of 9)\n", copyRate / 1e6);
  std::printf("ratio: %.2f\n", copyRate / bareRate);
  if (messages.seen.size() != 10) std::printf("unexpected messages: %zu\n", messages.seen.size());
  return 0;
}
