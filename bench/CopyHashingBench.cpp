// What hashing each file as it is written, and entering it in the ledger,
// costs a copy from the telephone emulator: the same recordings copied with
// the writer hashing and without (no hash, no ledger), in turns, in one run.
//
//   bench_copy_hashing
#include "BenchSupport.h"
#include "catalogue/RecordingHeader.h"
#include "device/DeviceLink.h"
#include "device/PinLogin.h"
#include "transfer/CopyRecording.h"

#include <algorithm>

using namespace parlomax;
using Clock = std::chrono::steady_clock;

int main() {
  // Six recordings, the second of them over an hour long: about 4.3 MB in all.
  bench::EmulatorProcess phone({"--generate", "6", "--seed", "2"});
  usb::EmulatorDeviceLibrary library(phone.Folder());
  bench::QuietMessages messages;
  device::DeviceLink link(library, messages);
  if (!link.OpenFirstDevice()) bench::Fail("cannot open the emulator");
  if (device::LogIn(link, QStringLiteral("9174"), {}) != device::LoginOutcome::Accepted)
    bench::Fail("the emulator refused its PIN");
  std::array<std::uint8_t, 2> countBytes{};
  link.Exchange(device::Command::ReadCount(), device::FramePreparation::KeepOtherBytes, countBytes);
  const unsigned count = countBytes[0] + 256u * countBytes[1];

  bench::NoView view;
  std::uint64_t bytes = 0;
  const auto copy = [&](transfer::Hashing hashing) {
    const auto files = phone.Folder() / (hashing == transfer::Hashing::On ? "hashed" : "plain");
    std::filesystem::remove_all(files);
    std::filesystem::create_directories(files);
    const auto begin = Clock::now();
    transfer::FileWriter writer(hashing);
    transfer::SaveFolder folder(files / "");
    transfer::CopyContext context{
        link, messages, view, writer, folder, [] { return false; }, std::chrono::milliseconds(0)};
    transfer::CopyState state;
    bytes = 0;
    for (unsigned i = 0; i < count; ++i) {
      if (transfer::CopyRecording(context, static_cast<std::uint16_t>(i), i + 1, state) !=
          transfer::CopyOutcome::Copied)
        bench::Fail("a copy failed");
      bytes += catalogue::kRecordingHeaderSize + state.payloadLength;
    }
    transfer::FinishLedger(context);
    return bench::SecondsSince(begin);
  };
  copy(transfer::Hashing::On);  // warm: the files' first creation
  std::vector<double> on, off;
  for (int i = 0; i < 9; ++i) {
    off.push_back(copy(transfer::Hashing::Off));
    on.push_back(copy(transfer::Hashing::On));
  }
  std::sort(on.begin(), on.end());
  std::sort(off.begin(), off.end());
  const double medianOn = on[on.size() / 2], medianOff = off[off.size() / 2];
  std::printf("copy of %u recordings, %.2f MB, from the emulator (median of 9):\n", count,
              bytes / 1e6);
  std::printf("  without hashing or ledger: %.3f s (%.2f MB/s)\n", medianOff,
              bytes / medianOff / 1e6);
  std::printf("  hashed, with ledger and SHA256SUMS: %.3f s (%.2f MB/s)\n", medianOn,
              bytes / medianOn / 1e6);
  std::printf("  cost of hashing: %+.1f %%\n", (medianOn / medianOff - 1) * 100);
  if (!messages.seen.empty()) std::printf("unexpected messages: %zu\n", messages.seen.size());
  return 0;
}
