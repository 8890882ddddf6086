// convert: .spx files into WAV (or MP3, or Opus) files, each recording
// decoded in one run of the decoder; as many recordings at a time as the
// machine has cores.
#include "audio/ExternalDecoder.h"
#include "audio/ShareRecording.h"
#include "audio/WavHeader.h"
#include "catalogue/FolderList.h"
#include "catalogue/RecordingHeader.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/Progress.h"
#include "platform/files/KeptFile.h"
#include "platform/files/PlainFile.h"
#include "platform/files/PrivateFolders.h"
#include "platform/files/SystemReason.h"
#include "transfer/FileWriter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace parlomax::cli {
namespace {

namespace fs = std::filesystem;

enum class WavOutcome {
  Written,
  NotPlain,
  CannotRead,
  TooLong,
  CannotWrite,
  DecoderMissing,
  DecodeFailed,
  EncodeFailed,
  Interrupted
};

struct Conversion {
  WavOutcome outcome = WavOutcome::Written;
  int error = 0;  // the system's, for a file that could not be read or written
  audio::DecodeOutcome decoded{};  // why the decoder failed, for DecodeFailed
};

// A file that could not be written for a reason every later one would meet
// as well: the disk is full, or will take nothing at all.
bool DoomsTheRest(const Conversion& c) {
  return c.outcome == WavOutcome::CannotWrite &&
         (c.error == ENOSPC || c.error == EDQUOT || c.error == EROFS || c.error == EIO);
}

// The header, then the samples of one decoder run that reads the payload
// straight from the recording file, written as they come: neither the
// recording nor its sound is ever held whole. The file takes its name only
// once all of them are on the disk; a failed one leaves nothing behind, and
// an earlier file of that name as it was.
Conversion Convert(const audio::ExternalDecoder& decoder, const fs::path& file, const fs::path& target) {
  const files::PlainFile source(file);
  if (!source.IsOpen()) return {source.NotPlain() ? WavOutcome::NotPlain : WavOutcome::CannotRead, source.Error()};
  // A file shorter than a header holds no sound: an empty WAV file.
  const std::uint64_t start = std::min<std::uint64_t>(source.Size(), catalogue::kRecordingHeaderSize);
  const std::uint64_t payload = source.Size() - start;
  if (!audio::FitsInWav(payload * audio::kOutputBytesPerPayloadByte)) return {WavOutcome::TooLong};
  if (::lseek(source.Descriptor(), static_cast<off_t>(start), SEEK_SET) < 0) return {WavOutcome::CannotRead, errno};
  transfer::FileWriter writer;
  if (!writer.Open(target)) return {WavOutcome::CannotWrite, writer.Error()};
  const auto header = audio::WavHeader(static_cast<std::uint32_t>(payload * audio::kOutputBytesPerPayloadByte));
  writer.Append(header.data(), header.size());
  const auto result = decoder.DecodeWhole(
      source.Descriptor(), payload,
      [&writer](std::span<const std::uint8_t> samples) {
        if (!writer.Failed()) writer.Append(samples.data(), samples.size());
      },
      &Interrupted);
  const bool decoded = result == audio::DecodeResult::Decoded;
  const transfer::FileEnd end = writer.Finish(decoded ? files::Ending::CompleteOrDiscard : files::Ending::Discard);
  if (end.error != 0) return {WavOutcome::CannotWrite, end.error};
  if (decoded) return {WavOutcome::Written};
  if (result == audio::DecodeResult::NotStarted) return {WavOutcome::DecoderMissing};
  if (result == audio::DecodeResult::Stopped || Interrupted()) return {WavOutcome::Interrupted};
  return {WavOutcome::DecodeFailed, 0, result};
}

// The same for the formats made to be passed on.
Conversion Encode(const audio::ExternalDecoder& decoder, const fs::path& file,
                  const fs::path& target, audio::ShareFormat format) {
  const audio::ShareResult r =
      audio::ShareRecording(decoder, file, target, format, {}, &Interrupted);
  switch (r.outcome) {
    case audio::ShareOutcome::Written:
      return {WavOutcome::Written};
    case audio::ShareOutcome::NotPlain:
      return {WavOutcome::NotPlain, r.error};
    case audio::ShareOutcome::CannotRead:
      return {WavOutcome::CannotRead, r.error};
    case audio::ShareOutcome::TooLong:
      return {WavOutcome::TooLong};
    case audio::ShareOutcome::CannotWrite:
      return {WavOutcome::CannotWrite, r.error};
    case audio::ShareOutcome::DecoderMissing:
      return {WavOutcome::DecoderMissing};
    case audio::ShareOutcome::Stopped:
      return {WavOutcome::Interrupted};
    case audio::ShareOutcome::EncoderFailed:
      return {WavOutcome::EncodeFailed};
    case audio::ShareOutcome::DecodeFailed:
      return {WavOutcome::DecodeFailed, 0, r.decoded};
  }
  return {WavOutcome::EncodeFailed};
}

QString ProblemText(const Conversion& c, const fs::path& file, const fs::path& target) {
  switch (c.outcome) {
    case WavOutcome::NotPlain: return QStringLiteral("跳过 %1：不是普通文件").arg(PathText(file));
    case WavOutcome::CannotRead:
      return QStringLiteral("无法读取 %1：%2").arg(PathText(file), files::SystemReasonText(c.error));
    case WavOutcome::TooLong: return audio::TooLongForWavText(PathText(file));
    case WavOutcome::CannotWrite: return files::WriteFailedText(target, c.error);
    case WavOutcome::DecodeFailed:
      return QStringLiteral("解码失败：%1（%2）")
          .arg(PathText(file), audio::DecodeFaultText(c.decoded));
    case WavOutcome::EncodeFailed:
      return QStringLiteral("编码失败：%1").arg(PathText(file));
    default: return {};
  }
}

// What the workers share: the next file to take, and the terminal.
struct Shared {
  const std::vector<fs::path>& files;
  const fs::path& wavFolder;
  const audio::ShareFormat format;
  const audio::ExternalDecoder& decoder;
  StatusLine& out;
  Progress& progress;
  std::atomic<std::size_t> next{0};
  // Nothing more can be converted: the decoder is missing, or the disk is
  // full or takes nothing. Any other failure is one file's alone.
  std::atomic<bool> giveUp{false};
  std::atomic<std::size_t> tried{0};
  std::atomic<std::uint32_t> converted{0};
  std::atomic<std::uint32_t> skipped{0};
  std::mutex terminal{};
};

void Work(Shared& shared) {
  for (;;) {
    const std::size_t i = shared.next++;
    if (i >= shared.files.size() || Interrupted() || shared.giveUp) return;
    ++shared.tried;
    const fs::path& file = shared.files[i];
    const bool wav = shared.format == audio::ShareFormat::Wav;
    const fs::path target = wav ? shared.wavFolder / (file.filename().string() + ".wav")
                                : audio::SharedFileFor(shared.wavFolder, file, shared.format);
    const Conversion c = wav ? Convert(shared.decoder, file, target)
                             : Encode(shared.decoder, file, target, shared.format);
    std::error_code ec;
    const auto size = c.outcome == WavOutcome::NotPlain ? 0 : fs::file_size(file, ec);
    const std::lock_guard lock(shared.terminal);
    const QString name = PathText(file.filename());
    if (c.outcome == WavOutcome::DecoderMissing) {
      if (!shared.giveUp.exchange(true)) {
        Say(shared.out, QStringLiteral("无法启动解码程序 %1").arg(QString::fromStdString(shared.decoder.Program())));
      }
      return;
    }
    if (c.outcome == WavOutcome::Written) {
      ++shared.converted;
      shared.progress.AddFinishedItem(name, ec ? 0 : size,
                                      QStringLiteral("→ %1（%2）").arg(PathText(target), SizeText(fs::file_size(target, ec))));
      continue;
    }
    if (DoomsTheRest(c)) shared.giveUp = true;
    if (c.outcome != WavOutcome::Interrupted) Say(shared.out, ProblemText(c, file, target));
    // Whatever is not a plain file is no recording: passed over, as rsync does.
    if (c.outcome == WavOutcome::NotPlain) ++shared.skipped;
    shared.progress.AddFinishedItem(name, ec ? 0 : size,
                                    c.outcome == WavOutcome::NotPlain ? QStringLiteral("跳过") : QStringLiteral("失败"));
  }
}

}  // namespace

ExitStatus RunConvert(const Arguments& a, StatusLine& out, const std::string& decoderProgram) {
  const fs::path spxFolder = UserPath(a.operands[0]);
  const fs::path wavFolder = UserPath(a.operands[1]);
  std::error_code ec;
  if (!fs::is_directory(spxFolder, ec)) {
    Say(out, QStringLiteral("没有这个目录：%1").arg(PathText(spxFolder)));
    return kFailed;
  }
  if (const int error = files::MakePrivateFolders(wavFolder); error != 0) {
    Say(out, QStringLiteral("无法建立目录 %1：%2").arg(PathText(wavFolder), files::SystemReasonText(error)));
    return kFailed;
  }
  const audio::ShareFormat format = a.format.value_or(audio::ShareFormat::Wav);
  std::string ending = ".";
  ending += audio::FormatName(format);  // "." + ... trips GCC 12's -Wrestrict at -O3
  files::RemoveLeftovers(wavFolder, ending);
  const auto files = catalogue::SearchRecordingFiles(spxFolder);
  if (files.empty()) {
    Say(out, QStringLiteral("%1 里没有 .spx 文件").arg(PathText(spxFolder)));
    return kFailed;
  }
  std::uint64_t total = 0;
  for (const auto& file : files) {
    // Only a plain file's size is asked: nothing else is read either.
    if (!fs::is_regular_file(file, ec)) continue;
    const auto size = fs::file_size(file, ec);
    total += ec ? 0 : size;
  }

  const audio::ExternalDecoder decoder(decoderProgram);
  Progress progress(out, a.quiet, static_cast<std::uint32_t>(files.size()), total);
  Shared shared{files, wavFolder, format, decoder, out, progress};
  // A recording's decoding cannot be split without a seam, but recordings
  // can be decoded side by side.
  const std::size_t workers = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, files.size());
  {
    std::vector<std::jthread> threads;
    for (std::size_t w = 1; w < workers; ++w) threads.emplace_back([&shared] { Work(shared); });
    Work(shared);
  }
  const std::uint32_t converted = shared.converted;
  if (Interrupted()) {
    Say(out, QStringLiteral("已中断：转换了 %1 个文件").arg(converted));
    return kInterrupted;
  }
  const auto failed = files.size() - shared.skipped - converted;
  if (!a.quiet || failed > 0) {
    QString summary = QStringLiteral("转换了 %1 个文件（用时 %2 秒）").arg(converted).arg(progress.Seconds(), 0, 'f', 1);
    if (shared.skipped > 0) summary += QStringLiteral("，跳过 %1 个不是普通文件的").arg(shared.skipped.load());
    if (failed > 0) summary += QStringLiteral("；%1 个没有转换成功").arg(failed);
    if (const auto untried = files.size() - shared.tried; untried > 0) {
      summary += QStringLiteral("（其中 %1 个因此没有尝试）").arg(untried);
    }
    Say(out, summary);
  }
  return failed == 0 ? kDone : kFailed;
}

}  // namespace parlomax::cli
