#include "audio/ConversionJob.h"

#include "audio/Playback.h"
#include "audio/WavHeader.h"
#include "catalogue/FolderList.h"
#include "platform/files/KeptFile.h"
#include "platform/files/PathText.h"
#include "platform/files/PlainFile.h"
#include "platform/files/SystemReason.h"
#include "platform/shell/MessageService.h"

#include <QFile>

#include <chrono>
#include <cstdio>
#include <memory>

namespace parlomax::audio {
namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
using Clock = std::chrono::steady_clock;

// The bars are redrawn a few dozen times a second at most: a job converts
// hundreds of chunks a second.
constexpr auto kBarRefresh = std::chrono::milliseconds(20);

File Open(const std::filesystem::path& path, const char* mode) {
  return File(std::fopen(path.c_str(), mode), &std::fclose);
}

// The payload behind the header; none in a file too short to hold even the
// header.
std::uint64_t PayloadIn(std::uint64_t fileSize) { return fileSize > kHeaderBytes ? fileSize - kHeaderBytes : 0; }

// Decoder runs for a payload: one per half second, and one more for what
// is left after the last whole one.
std::uint64_t RunsFor(std::uint64_t payload) {
  return payload / kConversionChunkBytes + (payload % kConversionChunkBytes != 0 ? 1 : 0);
}

QString NameOf(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.filename().string()));
}

}  // namespace

std::filesystem::path WavFileFor(const std::filesystem::path& folder, const std::filesystem::path& spx) {
  return folder / (spx.filename().string() + ".wav");
}

void ConversionJob::Run(std::stop_token stop) {
  stop_ = std::move(stop);
  // What a conversion killed in the middle left behind in this folder.
  files::RemoveLeftovers(setup_.outputFolder, ".wav");
  if (setup_.kind == ConversionKind::Selected) {
    ConvertSelectedThread();
  } else {
    ConvertAllThread();
  }
}

void ConversionJob::ConvertSelectedThread() {
  std::uint64_t runs = 0;
  for (const auto& file : setup_.files) {
    // Asked of the file system only: nothing is opened before its turn.
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (!ec) runs += RunsFor(PayloadIn(size));
  }
  total_ = static_cast<std::uint32_t>(runs);
  if (ConvertEach()) End(kSelectedConvertedMessage);
}

void ConversionJob::ConvertAllThread() {
  if (setup_.files.empty()) {
    // Nothing to convert: said as the listing says it, and no success.
    setup_.messages.Warn(catalogue::kNoSupportedFilesMessage);
    setup_.view.RestoreControls();
    setup_.view.EndJob(false);
    return;
  }
  total_ = setup_.workTotal;
  if (ConvertEach()) End(kAllConvertedMessage);
}

bool ConversionJob::ConvertEach() {
  for (std::size_t i = 0; i < setup_.files.size() && Wanted(); ++i) {
    const FileResult result = ConvertFile(setup_.files[i]);
    if (result == FileResult::ErrorStopped) return false;
    if (result == FileResult::EndsTheJob) break;
  }
  return true;
}

ConversionJob::FileResult ConversionJob::ConvertFile(const std::filesystem::path& spx) {
  // Only a plain file is opened: a pipe by a recording's name would keep
  // the job waiting for good.
  files::PlainFile source(spx);
  File in = source.TakeStream();
  if (!in) {
    FailWith(kOpenFileFailedMessage);
    return FileResult::ErrorStopped;
  }
  setup_.view.ShowFileName(NameOf(spx));
  const std::uint64_t payload = PayloadIn(source.Size());
  if (!FitsInWav(payload * kOutputBytesPerPayloadByte)) {
    FailWith(TooLongForWavText(NameOf(spx)));
    return FileResult::ErrorStopped;
  }
  const auto runs = static_cast<std::uint32_t>(RunsFor(payload));
  const std::filesystem::path target = WavFileFor(setup_.outputFolder, spx);
  files::KeptFile out;
  if (!out.Create(target)) {
    in.reset();
    FailWith(kCreateFileFailedMessage);
    return FileResult::ErrorStopped;
  }
  setup_.view.SetTotalBar(totalDone_, total_);
  setup_.view.SetFileBar(0, runs);
  out.Write(WavHeader(static_cast<std::uint32_t>(payload * kOutputBytesPerPayloadByte)));
  ::fseeko(in.get(), kHeaderBytes, SEEK_SET);

  std::vector<std::uint8_t> chunk(kConversionChunkBytes);
  std::vector<std::uint8_t> samples;
  std::uint32_t written = 0;
  DecodeOutcome decoded;
  auto lastShown = Clock::now();
  // No further than the runs the header was written for, nor than the file
  // still holds, nor past a write the disk refused or a run that failed.
  for (std::uint64_t left = payload; written < runs && Wanted() && out.Error() == 0; left -= chunk.size()) {
    chunk.resize(std::min<std::uint64_t>(left, kConversionChunkBytes));
    if (std::fread(chunk.data(), 1, chunk.size(), in.get()) != chunk.size()) break;
    samples.resize(chunk.size() * kOutputBytesPerPayloadByte);
    decoded = DecodeRun(chunk, samples);
    if (decoded != DecodeResult::Decoded) break;
    if (!out.Write(samples)) break;
    ++written;
    ++totalDone_;
    const auto now = Clock::now();
    if (now - lastShown >= kBarRefresh || written == runs) {
      setup_.view.SetFileBar(written, runs);
      setup_.view.SetTotalBar(totalDone_, total_);
      lastShown = now;
    }
  }
  setup_.view.SetFileBar(0, runs);
  in.reset();
  const bool cut = written != runs || out.Error() != 0;
  // A file cut short says how much sound it really holds: every whole
  // sample that reached the disk.
  if (cut && out.Size() >= kWavHeaderSize) {
    out.WriteAt(0, WavHeader(static_cast<std::uint32_t>((out.Size() - kWavHeaderSize) & ~std::uint64_t{1})));
  }
  const files::Placed placed = out.Finish(cut ? files::Ending::Cut : files::Ending::Complete);
  if (decoded == DecodeResult::NotStarted) {
    FailWith(DecodeFailureText(decoded, setup_.decoder.Program(), spx.string()));
    return FileResult::ErrorStopped;
  }
  if (out.Error() != 0) {
    // Said once, and the job ends as a cancelled one does.
    writeFailed_ = true;
    setup_.messages.Warn(files::WriteFailedText(target, out.Error()));
    return FileResult::EndsTheJob;
  }
  if (decoded == DecodeResult::Failed) {
    const std::filesystem::path kept = placed == files::Placed::Target ? target
                                       : placed == files::Placed::BesideTarget
                                           ? files::KeptFile::PartName(target)
                                           : std::filesystem::path();
    NoteFailure(spx, decoded, kept);
    return FileResult::Failed;
  }
  return FileResult::Done;
}

DecodeOutcome ConversionJob::DecodeRun(std::span<const std::uint8_t> chunk,
                                       std::vector<std::uint8_t>& samples) {
  // The decoder's output is read back before any other run may replace it.
  const auto held = setup_.decoder.HoldRuns();
  const DecodeOutcome outcome =
      setup_.decoder.DecodeHeldChunk(chunk, kConversionOutput, held, [this] { return !Wanted(); });
  if (outcome != DecodeResult::Decoded) return outcome;
  File decoded = Open(kConversionOutput, "rb");
  const std::size_t got =
      decoded ? std::fread(samples.data(), 1, samples.size(), decoded.get()) : 0;
  if (got != samples.size())
    return {DecodeResult::Failed, DecodeFault::ShortOutput, static_cast<std::int64_t>(got),
            samples.size()};
  return outcome;
}

void ConversionJob::NoteFailure(const std::filesystem::path& spx, const DecodeOutcome& outcome,
                                const std::filesystem::path& kept) {
  if (failures_++ > 0) return;
  firstFailure_ = NameOf(spx) + QStringLiteral("，") + DecodeFaultText(outcome);
  if (!kept.empty())
    firstFailure_ += QStringLiteral("；已转换的部分保存在 ") + files::PathText(kept);
}

QString ConversionJob::FailuresText() const {
  return QStringLiteral("转换结束，但有 %1 个文件没有转换成功（第一个是 %2）。")
      .arg(failures_)
      .arg(firstFailure_);
}

void ConversionJob::End(const QString& successMessage) {
  // Ran its course: neither cancelled nor ended by a full disk.
  const bool ranThrough = Wanted() && !writeFailed_;
  setup_.view.RestoreControls();
  // A folder the user opened from the box is not opened a second time.
  bool opened = false;
  if (ranThrough && failures_ == 0)
    opened = setup_.messages.WarnWithFolder(successMessage, files::PathText(setup_.outputFolder));
  if (failures_ > 0) setup_.messages.Warn(FailuresText());
  {
    const auto held = setup_.decoder.HoldRuns();
    std::error_code ec;
    std::filesystem::remove(kDecoderInput, ec);
    std::filesystem::remove(kConversionOutput, ec);
  }
  setup_.view.EndJob(ranThrough && !opened);
}

void ConversionJob::FailWith(const QString& message) {
  setup_.messages.Warn(message);
  if (failures_ > 0) setup_.messages.Warn(FailuresText());
  setup_.view.ErrorStop();
}

}  // namespace parlomax::audio
