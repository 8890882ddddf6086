// speex IN OUT: decodes the bare Speex payload of a recording (a .spx file
// without its 19-byte header) in IN into OUT as raw 16-bit little-endian
// mono samples at 8000 per second, 8 samples per payload byte. IN "-" is
// standard input, read from where it stands (a recording file opened past
// its header, say). It ends only once OUT is complete and closed; any input
// decodes, garbage to noise or silence.
//
// Conversion starts this program once per half second of sound, so what it
// costs to start counts more than what it costs to decode: its buffers are
// static and only the part a run needs is ever touched, and it reads and
// writes with the bare system calls.
#include "platform/speex/SpeexCodec.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

// A multiple of the frame size, so that frames never straddle two reads.
constexpr std::size_t kReadSize = parlomax::speex::kFrameBytes * 3200;

std::uint8_t payload[kReadSize];
std::int16_t samples[kReadSize * parlomax::speex::kSamplesPerByte];

// Reads until `size` bytes or the end of the file; -1 on an error.
ssize_t ReadFully(int fd, std::uint8_t* into, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, into + done, size - done);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

bool WriteFully(int fd, const void* bytes, std::size_t size) {
  const auto* from = static_cast<const std::uint8_t*>(bytes);
  while (size > 0) {
    const ssize_t n = ::write(fd, from, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    from += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The samples as little-endian bytes, in place.
void ToLittleEndian(std::int16_t* s, std::size_t count) {
  if constexpr (std::endian::native == std::endian::little) return;
  auto* bytes = reinterpret_cast<std::uint8_t*>(s);
  for (std::size_t i = 0; i < count; ++i) {
    const auto v = static_cast<std::uint16_t>(s[i]);
    bytes[2 * i] = static_cast<std::uint8_t>(v & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
  }
}

int Fail(const char* what) {
  std::fprintf(stderr, "speex: %s: %s\n", what, std::strerror(errno));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr,
                 "usage: speex IN OUT\n"
                 "  IN   the bare Speex payload of a recording: a .spx file without its\n"
                 "       19-byte header (8 kbit/s narrowband, 20-byte frames); - for\n"
                 "       standard input, read from where it stands\n"
                 "  OUT  raw 16-bit little-endian samples, mono, 8000 per second\n");
    return 2;
  }
  const bool fromStandardInput = std::strcmp(argv[1], "-") == 0;
  const int in = fromStandardInput ? STDIN_FILENO : ::open(argv[1], O_RDONLY | O_CLOEXEC);
  if (in < 0) return Fail(argv[1]);
  const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) return Fail(argv[2]);
  parlomax::speex::SpeexDecoder decoder;
  for (;;) {
    const ssize_t n = ReadFully(in, payload, sizeof payload);
    if (n < 0) return Fail(argv[1]);
    if (n == 0) break;
    const std::size_t count = static_cast<std::size_t>(n) * parlomax::speex::kSamplesPerByte;
    decoder.DecodeInto(std::span<const std::uint8_t>(payload, static_cast<std::size_t>(n)), samples);
    ToLittleEndian(samples, count);
    if (!WriteFully(out, samples, count * sizeof samples[0])) return Fail(argv[2]);
    if (static_cast<std::size_t>(n) < sizeof payload) break;
  }
  if (::close(out) != 0) return Fail(argv[2]);
  ::close(in);
  return 0;
}
