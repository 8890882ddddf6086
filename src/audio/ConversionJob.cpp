#include "audio/ConversionJob.h"

#include "audio/Playback.h"
#include "audio/WavHeader.h"
#include "catalogue/FolderList.h"
#include "platform/files/KeptFile.h"
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
  if (setup_.kind == ConversionKind::Selected) {
    ConvertSelectedThread();
  } else {
    ConvertAllThread();
  }
}

void ConversionJob::ConvertSelectedThread() {
  const auto files = catalogue::SearchRecordingFiles(setup_.inputFolder);
  const std::size_t rows = std::min<std::size_t>({setup_.folderFileCount, files.size(), setup_.selectedRows.size()});
  std::uint64_t runs = 0;
  for (std::size_t i = 0; i < rows; ++i) {
    std::error_code ec;
    const auto size = setup_.selectedRows[i] ? std::filesystem::file_size(files[i], ec) : 0;
    if (!ec) runs += RunsFor(PayloadIn(size));
  }
  total_ = static_cast<std::uint32_t>(runs);
  for (std::size_t i = 0; i < rows && Wanted(); ++i) {
    if (!setup_.selectedRows[i]) continue;
    const FileResult result = ConvertFile(files[i]);
    if (result == FileResult::ErrorStopped) return;
    if (result == FileResult::EndsTheJob) break;
  }
  End(kSelectedConvertedMessage);
}

void ConversionJob::ConvertAllThread() {
  const auto files = catalogue::SearchRecordingFiles(setup_.inputFolder);
  if (files.empty()) {
    // Nothing to convert: said as the listing says it, and no success.
    setup_.messages.Warn(catalogue::kNoSupportedFilesMessage);
    setup_.view.RestoreControls();
    setup_.view.EndJob(false);
    return;
  }
  total_ = setup_.workTotal;
  for (std::size_t i = 0; i < files.size() && Wanted(); ++i) {
    const FileResult result = ConvertFile(files[i]);
    if (result == FileResult::ErrorStopped) return;
    if (result == FileResult::EndsTheJob) break;
  }
  End(kAllConvertedMessage);
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
  std::vector<std::uint8_t> samples(kConvertedChunkBytes);
  std::uint32_t written = 0;
  bool decoderMissing = false;
  auto lastShown = Clock::now();
  // No further than the runs the header was written for, nor than the file
  // still holds, nor past a write the disk refused.
  for (std::uint64_t left = payload; written < runs && Wanted() && out.Error() == 0; left -= chunk.size()) {
    chunk.resize(std::min<std::uint64_t>(left, kConversionChunkBytes));
    if (std::fread(chunk.data(), 1, chunk.size(), in.get()) != chunk.size()) break;
    samples.assign(chunk.size() * kOutputBytesPerPayloadByte, 0);
    if (!DecodeRun(chunk, samples)) {
      decoderMissing = true;
      break;
    }
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
  out.Finish(cut ? files::Ending::Cut : files::Ending::Complete);
  if (decoderMissing) {
    FailWith(DecodeFailureText(DecodeResult::NotStarted, setup_.decoder.Program(), spx.string()));
    return FileResult::ErrorStopped;
  }
  if (out.Error() != 0) {
    // Said once, and the job ends as a cancelled one does.
    writeFailed_ = true;
    setup_.messages.Warn(files::WriteFailedText(target, out.Error()));
    return FileResult::EndsTheJob;
  }
  return FileResult::Done;
}

bool ConversionJob::DecodeRun(std::span<const std::uint8_t> chunk, std::vector<std::uint8_t>& samples) {
  // The decoder's output is read back before any other run may replace it.
  const auto held = setup_.decoder.HoldRuns();
  const DecodeResult result = setup_.decoder.DecodeHeldChunk(chunk, kConversionOutput, held);
  if (result == DecodeResult::NotStarted) return false;
  // A run that left less than its sound is made up with silence, so that
  // the file still holds what its header says.
  if (result == DecodeResult::Decoded) {
    if (File decoded = Open(kConversionOutput, "rb")) {
      [[maybe_unused]] const auto got = std::fread(samples.data(), 1, samples.size(), decoded.get());
    }
  }
  return true;
}

void ConversionJob::End(const QString& successMessage) {
  const bool completed = Wanted() && !writeFailed_;
  setup_.view.RestoreControls();
  if (completed) setup_.messages.Warn(successMessage);
  {
    const auto held = setup_.decoder.HoldRuns();
    std::error_code ec;
    std::filesystem::remove(kDecoderInput, ec);
    std::filesystem::remove(kConversionOutput, ec);
  }
  setup_.view.EndJob(completed);
}

void ConversionJob::FailWith(const QString& message) {
  setup_.messages.Warn(message);
  setup_.view.ErrorStop();
}

}  // namespace parlomax::audio
