// How fast recording data crosses the emulator link: bare ReadMemory
// exchanges of 256 bytes through the emulator backend and the parlomax-phone
// program, against a plain 8-bytes-out / 256-bytes-back ping-pong with a
// trivial peer process over the same kind of socket (the link's limit).
//
// Both sides of the link look for the next message for a moment before they
// sleep; the ping-pong is measured both ways, the spinning one being the
// fair limit for the emulator.
//
//   bench_emulator_link [seconds per measurement, default 3]
#include "BenchSupport.h"

#include <sys/socket.h>

using namespace parlomax;
using Clock = std::chrono::steady_clock;

namespace {

struct Rate {
  double exchangesPerSecond;
  double bytesPerSecond;
};

// Runs `exchange` for about `seconds` and reports the rate.
template <typename Exchange>
Rate Measure(double seconds, Exchange exchange) {
  for (int i = 0; i < 1000; ++i) exchange();  // warm up
  long count = 0;
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration<double>(seconds);
  while (Clock::now() < end) {
    for (int i = 0; i < 256; ++i) exchange();
    count += 256;
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  return {count / elapsed, count * 256.0 / elapsed};
}

// `spin`: both ends ask for the next message without sleeping for this
// long first, as the emulator backend and the emulator do.
Rate PingPong(double seconds, std::chrono::microseconds spin) {
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair) != 0) std::exit(1);
  const pid_t peer = ::fork();
  if (peer == 0) {
    ::close(pair[0]);
    unsigned char command[64], reply[256] = {};
    for (;;) {
      ssize_t n = -1;
      const auto until = Clock::now() + spin;
      while (n < 0 && Clock::now() < until) n = ::recv(pair[1], command, sizeof(command), MSG_DONTWAIT);
      if (n < 0) n = ::recv(pair[1], command, sizeof(command), 0);
      if (n <= 0) ::_exit(0);
      ::send(pair[1], reply, 256, 0);
    }
  }
  ::close(pair[1]);
  unsigned char command[8] = {3, 0, 0, 0, 0, 0, 1, 0}, reply[256];
  const Rate rate = Measure(seconds, [&] {
    ::send(pair[0], command, 8, MSG_NOSIGNAL);
    const auto until = Clock::now() + spin;
    while (Clock::now() < until) {
      if (::recv(pair[0], reply, 256, MSG_DONTWAIT) > 0) return;
    }
    ::recv(pair[0], reply, 256, 0);
  });
  ::close(pair[0]);
  ::waitpid(peer, nullptr, 0);
  return rate;
}

Rate ThroughEmulator(double seconds) {
  bench::EmulatorProcess phone({"--generate", "4"});
  usb::EmulatorDeviceLibrary library(phone.Folder());
  usb::DeviceHandle handle = 0;
  if (library.Open(0, handle) != usb::kSuccess) bench::Fail("cannot open the emulator");
  library.SetTimeouts(10000, 10000);
  std::uint32_t address = 4 * 19;  // payloads begin after the four headers
  std::uint8_t command[8] = {3, 0, 0, 0, 0, 0, 1, 0}, reply[256];
  const Rate rate = Measure(seconds, [&] {
    command[1] = static_cast<std::uint8_t>(address);
    command[2] = static_cast<std::uint8_t>(address >> 8);
    command[3] = static_cast<std::uint8_t>(address >> 16);
    std::uint32_t n = 0;
    if (library.Write(handle, command, 8, n) != usb::kSuccess ||
        library.Read(handle, reply, 256, n) != usb::kSuccess || n != 256) {
      bench::Fail("exchange failed");
    }
    address = 4 * 19 + (address + 256) % (1 << 20);
  });
  library.Close(handle);
  return rate;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
  const Rate plain = PingPong(seconds, std::chrono::microseconds(0));
  const Rate spinning = PingPong(seconds, std::chrono::microseconds(60));
  const Rate emulator = ThroughEmulator(seconds);
  const auto show = [](const char* what, const Rate& r) {
    std::printf("%-44s %9.0f exchanges/s  %6.2f MB/s\n", what, r.exchangesPerSecond, r.bytesPerSecond / 1e6);
  };
  show("ping-pong, 8 out / 256 back, blocking:", plain);
  show("ping-pong, 8 out / 256 back, brief spin:", spinning);
  show("ReadMemory of 256 via the emulator backend:", emulator);
  std::printf("ratio to the blocking ping-pong: %.2f\n", emulator.exchangesPerSecond / plain.exchangesPerSecond);
  std::printf("ratio to the spinning ping-pong: %.2f\n", emulator.exchangesPerSecond / spinning.exchangesPerSecond);
  return 0;
}
