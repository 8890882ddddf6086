#pragma once

#include "ChildProcess.h"
#include "TempFolder.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace parlomax::testing {

// A PulseAudio server of the test's own with one null sink, so that the
// player has a real sound device on a machine without a sound card, and
// what it played can be recorded back from the sink's monitor. The test's
// process and every program it starts afterwards talk to this server.
class PrivateSoundServer {
 public:
  // `realtime`: the server takes real-time scheduling where it may, as a
  // desktop's sound server does, so that a busy machine starves the player
  // and not the server.
  explicit PrivateSoundServer(bool realtime = false) {
    if (!OnPath("pulseaudio") || !OnPath("parec")) return;
    ::setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
    ::unsetenv("PULSE_SERVER");
    std::vector<std::string> argv{"/usr/bin/env", "pulseaudio", "--daemonize=no", "--exit-idle-time=-1",
                                  "--system=false", "-n", "--load=module-null-sink",
                                  "--load=module-native-protocol-unix", "--log-target=stderr"};
    if (realtime) argv.insert(argv.end(), {"--realtime=yes", "--high-priority=yes"});
    server_ = std::make_unique<ChildProcess>(argv);
    const auto socket = runtime_.Path() / "pulse" / "native";
    for (int i = 0; i < 500 && !std::filesystem::exists(socket); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    running_ = std::filesystem::exists(socket);
  }

  bool Running() const { return running_; }

  // The server dies where it stands, as a desktop's sound server does when
  // it crashes or is restarted under a playing program.
  void Kill() {
    server_->Signal(SIGKILL);
    server_->Wait();
    running_ = false;
  }

  // Records what the null sink plays, as 16-bit samples at 8000 per second,
  // into `file` until the returned process is stopped.
  std::unique_ptr<ChildProcess> Record(const std::filesystem::path& file) const {
    return std::make_unique<ChildProcess>(std::vector<std::string>{
        "/usr/bin/env", "parec", "--raw", "--latency-msec=20", "-d", "null.monitor", "--format=s16le",
        "--rate=8000", "--channels=1", file.string()});
  }

 private:
  static bool OnPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
  }

  TempFolder runtime_;
  std::unique_ptr<ChildProcess> server_;
  bool running_ = false;
};

}  // namespace parlomax::testing
