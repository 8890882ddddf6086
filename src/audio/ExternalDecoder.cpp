#include "audio/ExternalDecoder.h"

#include "platform/files/SystemReason.h"
#include "platform/shell/StartAndWait.h"

#include <cerrno>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace parlomax::audio {
namespace {

constexpr const char* kDecoderName = "speex";

// The chunk into the decoder's input file; 0, or the system's error number.
int WriteInput(std::span<const std::uint8_t> chunk) {
  const int fd =
      ::open(kDecoderInput.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return errno;
  std::size_t done = 0;
  while (done < chunk.size()) {
    const ssize_t n = ::write(fd, chunk.data() + done, chunk.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      ::close(fd);
      return error;
    }
    done += static_cast<std::size_t>(n);
  }
  return ::close(fd) == 0 ? 0 : errno;
}

DecodeOutcome Fault(DecodeFault fault, std::int64_t detail, std::uint64_t expected) {
  return {DecodeResult::Failed, fault, detail, expected};
}

// The one rule every run is judged by: it ended by itself with status 0
// and left 16 bytes for every payload byte.
DecodeOutcome Judge(const shell::ProgramEnd& end, std::uint64_t payloadBytes,
                    std::uint64_t outputBytes, std::chrono::milliseconds limit) {
  const std::uint64_t expected = payloadBytes * kOutputBytesPerPayloadByte;
  if (!end.started) return {DecodeResult::NotStarted, DecodeFault::None, 0, expected};
  if (end.stopped) return {DecodeResult::Stopped, DecodeFault::None, 0, expected};
  if (end.timedOut) return Fault(DecodeFault::TimedOut, limit.count(), expected);
  if (end.signal) return Fault(DecodeFault::Crashed, *end.signal, expected);
  if (end.exitStatus != 0)
    return Fault(DecodeFault::ExitStatus, end.exitStatus.value_or(-1), expected);
  if (outputBytes != expected)
    return Fault(DecodeFault::ShortOutput, static_cast<std::int64_t>(outputBytes), expected);
  return {DecodeResult::Decoded, DecodeFault::None, 0, expected};
}

}  // namespace

QString DecodeFaultText(const DecodeOutcome& outcome) {
  switch (outcome.fault) {
    case DecodeFault::None:
      return {};
    case DecodeFault::InputNotWritten:
      return QStringLiteral("无法写入临时文件 %1：%2")
          .arg(QString::fromStdString(kDecoderInput),
               files::SystemReasonText(static_cast<int>(outcome.detail)));
    case DecodeFault::Crashed:
      return QStringLiteral("解码程序被信号 %1 终止").arg(outcome.detail);
    case DecodeFault::ExitStatus:
      return QStringLiteral("解码程序以状态 %1 退出").arg(outcome.detail);
    case DecodeFault::ShortOutput:
      return QStringLiteral("解码程序只输出了 %1 字节，应为 %2 字节")
          .arg(outcome.detail)
          .arg(outcome.expected);
    case DecodeFault::TimedOut:
      return QStringLiteral("解码程序 %1 秒内没有结束，已被终止")
          .arg(QString::number(static_cast<double>(outcome.detail) / 1000, 'g', 3));
  }
  return {};
}

std::chrono::milliseconds DecoderTimeLimit::For(std::uint64_t payloadBytes) const {
  return floor +
         std::chrono::duration_cast<std::chrono::milliseconds>(perPayloadByte * payloadBytes);
}

ExternalDecoder::RunLock ExternalDecoder::TryHoldRuns(std::chrono::milliseconds wait) const {
  // Asked for again every few milliseconds rather than waited for with a
  // time-out: the thread checker cannot follow a timed wait on a mutex
  // (pthread_mutex_clocklock) and would take every unlock for a fault.
  const auto until = std::chrono::steady_clock::now() + wait;
  RunLock held(runs_, std::try_to_lock);
  while (!held.owns_lock() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    held.try_lock();
  }
  return held;
}

DecodeOutcome ExternalDecoder::DecodeChunk(std::span<const std::uint8_t> chunk,
                                           const std::string& outputName,
                                           const StopRequested& stop) const {
  const auto held = HoldRuns();
  return DecodeHeldChunk(chunk, outputName, held, stop);
}

DecodeOutcome ExternalDecoder::DecodeHeldChunk(std::span<const std::uint8_t> chunk,
                                               const std::string& outputName, const RunLock&,
                                               const StopRequested& stop) const {
  std::error_code ec;
  std::filesystem::remove(outputName, ec);
  if (const int error = WriteInput(chunk); error != 0) {
    return Fault(DecodeFault::InputNotWritten, error, chunk.size() * kOutputBytesPerPayloadByte);
  }
  const auto limit = limit_.For(chunk.size());
  const auto end = shell::StartAndWait(program_, {kDecoderInput, outputName}, {limit, stop});
  const auto size = std::filesystem::file_size(outputName, ec);
  return Judge(end, chunk.size(), ec ? 0 : size, limit);
}

DecodeOutcome ExternalDecoder::DecodeWhole(
    int payload, std::uint64_t payloadBytes,
    const std::function<void(std::span<const std::uint8_t>)>& samples,
    const StopRequested& stop) const {
  std::uint64_t received = 0;
  const auto limit = limit_.For(payloadBytes);
  // Standard input in, and out to whatever its output names: here the pipe it was given.
  const auto end = shell::StartAndRead(
      program_, {"-", "/dev/stdout"}, payload,
      [&](std::span<const std::uint8_t> block) {
        // Never more than the payload's sound: a decoder
        // that runs away fails, and fills no disk.
        const std::uint64_t wanted = payloadBytes * kOutputBytesPerPayloadByte;
        if (received < wanted) {
          samples(block.first(
              static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), wanted - received))));
        }
        received += block.size();
      },
      {limit, stop});
  return Judge(end, payloadBytes, received, limit);
}

std::string FindDecoderProgram(const std::filesystem::path& programFolder) {
  // Beside the program in a build tree; in an installed (or unpacked, or
  // moved) tree, among the program's private helpers; else wherever PATH has it.
  for (const auto& candidate :
       {programFolder / kDecoderName, programFolder / ".." / "libexec" / "parlomax" / kDecoderName}) {
    if (::access(candidate.c_str(), X_OK) == 0) return candidate.lexically_normal().string();
  }
  return kDecoderName;
}

}  // namespace parlomax::audio
