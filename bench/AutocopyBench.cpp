// The copy made when a telephone is plugged in, from the moment its user
// unit's command starts to the notice on the desktop, with ten new
// recordings (short calls of ten seconds, then calls of a minute) on a
// telephone on an emulated USB bus and a stand-in notification server on a
// private session bus; beside it, the same copy made by hand, which tells
// what the session bus and the notice add. Each round starts afresh (an
// empty folder); the median and the slowest round are shown. The emulated
// bus moves bytes far more slowly than a cable, and the telephone is given
// 100 ms to find each recording.
//
//   bench_autocopy          (runs itself again inside umockdev-wrapper)
#include <umockdev.h>  // before Qt: see UsbTelephone.cpp

#include "ProgramRun.h"
#include "TempFolder.h"
#include "TestTelephone.h"
#include "UsbTelephone.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

using namespace parlomax;
namespace fs = std::filesystem;

namespace {

constexpr unsigned kRecordings = 10;
constexpr std::size_t kBytesPerSecond = 1000;  // Speex at 8 kbit/s
constexpr int kRounds = 5;
constexpr const char* kSysfsPath = "/sys/devices/usb1/1-1";

// Milliseconds from the command's start to its notice, as the stand-in saw
// them; a negative value when none came.
long OneRound(const std::string& home) {
  testing::TempFolder saved, printed, credentials, runtime;
  std::ofstream(credentials / "pin") << "9174\n";
  fs::permissions(credentials / "pin", fs::perms::owner_read);
  const std::vector<std::string> environment{"HOME=" + home, "XDG_RUNTIME_DIR=" + runtime.Path().string(),
                                             "CREDENTIALS_DIRECTORY=" + credentials.Path().string()};
  testing::RunProgram({PARLOMAX_CLI_PROGRAM, "autocopy", "on", saved.Path().string()}, environment);
  const auto notices = printed / "notices";
  const auto run = testing::RunProgram({"/usr/bin/dbus-run-session", "--", PARLOMAX_NOTIFICATION_RECORDER,
                                        notices.string(), "--", PARLOMAX_CLI_PROGRAM, "autocopy", "run",
                                        kSysfsPath},
                                       environment);
  std::ifstream in(notices);
  long ms = -1;
  std::string summary;
  if (!(in >> ms) || run.status != 0) {
    std::fprintf(stderr, "no notice (status %d): %s\n", run.status, run.err.c_str());
    return -1;
  }
  return ms;
}

// The same copy by hand (copy --new into an empty folder), start to end.
long PlainCopy(const std::string& home) {
  testing::TempFolder saved, runtime;
  const auto start = std::chrono::steady_clock::now();
  const auto run = testing::RunProgram({PARLOMAX_CLI_PROGRAM, "copy", saved.Path().string(), "--new", "--usb",
                                        kSysfsPath, "--quiet"},
                                       {"HOME=" + home, "XDG_RUNTIME_DIR=" + runtime.Path().string(), "PARLOMAX_PIN=9174"});
  if (run.status != 0) std::fprintf(stderr, "copy failed: %s\n", run.err.c_str());
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const char* preload = std::getenv("LD_PRELOAD");
  if (!preload || !std::strstr(preload, "umockdev")) {
    std::vector<char*> again{const_cast<char*>("umockdev-wrapper"), argv[0]};
    for (int i = 1; i < argc; ++i) again.push_back(argv[i]);
    again.push_back(nullptr);
    ::execvp(again[0], again.data());
    std::perror("umockdev-wrapper");
    return 1;
  }
  for (const std::size_t seconds : {10, 60}) {
    std::vector<phone::Recording> recordings;
    for (unsigned i = 0; i < kRecordings; ++i) recordings.push_back(testing::MakeRecording(seconds * kBytesPerSecond, i));
    testing::UsbTelephone telephone(testing::MakeTelephone(recordings, {9, 1, 7, 4}));
    testing::TempFolder home;
    std::vector<long> rounds, plain;
    for (int round = 0; round < kRounds; ++round) {
      const long ms = OneRound(home.Path().string());
      if (ms < 0) return 1;
      rounds.push_back(ms);
      plain.push_back(PlainCopy(home.Path().string()));
    }
    std::sort(rounds.begin(), rounds.end());
    std::sort(plain.begin(), plain.end());
    std::printf("plug-in to notice, %u new recordings of %zu s (%zu KB): median %ld ms, slowest %ld ms (%d rounds); "
                "the same copy by hand: median %ld ms\n",
                kRecordings, seconds, kRecordings * seconds * kBytesPerSecond / 1000, rounds[rounds.size() / 2],
                rounds.back(), kRounds, plain[plain.size() / 2]);
  }
  return 0;
}
