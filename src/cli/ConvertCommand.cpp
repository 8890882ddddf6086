// convert: .spx files into WAV files, each recording decoded in one run of
// the decoder; as many recordings at a time as the machine has cores.
#include "audio/ExternalDecoder.h"
#include "audio/WavHeader.h"
#include "catalogue/FolderList.h"
#include "catalogue/RecordingHeader.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/Progress.h"
#include "platform/shell/PrivateWorkingDirectory.h"
#include "transfer/FileWriter.h"


#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <mutex>
#include <span>
#include <thread>

namespace parlomax::cli {
namespace {

namespace fs = std::filesystem;

enum class WavOutcome { Written, CannotRead, TooLong, CannotWrite, DecoderMissing, DecodeFailed, Interrupted };

std::optional<std::vector<std::uint8_t>> ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

// The header, then the samples of one decoder run over the whole payload as
// they come. The file takes its name only once all of them are in; a failed
// one leaves nothing behind, and an earlier file of that name as it was.
WavOutcome WriteWav(const audio::ExternalDecoder& decoder, std::span<const std::uint8_t> payload, const fs::path& target) {
  // A WAV file counts its size in 32 bits: some 74 hours of sound.
  if (payload.size() * audio::kOutputBytesPerPayloadByte > 0xFFFFFFFFu - audio::kWavHeaderSize) return WavOutcome::TooLong;
  std::error_code ec;
  const bool existed = fs::exists(target, ec);
  transfer::FileWriter writer;
  if (!writer.Open(PathText(target))) return WavOutcome::CannotWrite;
  const auto header = audio::WavHeader(static_cast<std::uint32_t>(payload.size() * audio::kOutputBytesPerPayloadByte));
  writer.Append(header.data(), header.size());
  const auto result = decoder.DecodeWhole(payload, [&writer](std::span<const std::uint8_t> samples) {
    writer.Append(samples.data(), samples.size());
  });
  const bool complete = result == audio::DecodeResult::Decoded;
  const bool named = writer.Finish(complete);
  if (complete && named) return WavOutcome::Written;
  fs::remove(existed || complete ? fs::path(target.string() + ".part") : target, ec);
  if (complete) return WavOutcome::CannotWrite;
  if (result == audio::DecodeResult::NotStarted) return WavOutcome::DecoderMissing;
  return Interrupted() ? WavOutcome::Interrupted : WavOutcome::DecodeFailed;
}

WavOutcome Convert(const audio::ExternalDecoder& decoder, const fs::path& file, const fs::path& target) {
  const auto bytes = ReadFile(file);
  if (!bytes) return WavOutcome::CannotRead;
  // A file shorter than a header holds no sound: an empty WAV file.
  const std::size_t start = std::min(bytes->size(), catalogue::kRecordingHeaderSize);
  return WriteWav(decoder, std::span(*bytes).subspan(start), target);
}

QString ProblemText(WavOutcome outcome, const fs::path& file, const fs::path& target) {
  switch (outcome) {
    case WavOutcome::CannotRead: return QStringLiteral("无法读取 %1").arg(PathText(file));
    case WavOutcome::TooLong: return QStringLiteral("录音太长，WAV 文件装不下：%1").arg(PathText(file));
    case WavOutcome::CannotWrite: return QStringLiteral("无法写入 %1").arg(PathText(target));
    case WavOutcome::DecodeFailed: return QStringLiteral("解码失败：%1").arg(PathText(file));
    default: return {};
  }
}

// What the workers share: the next file to take, and the terminal.
struct Shared {
  const std::vector<fs::path>& files;
  const fs::path& wavFolder;
  const audio::ExternalDecoder& decoder;
  StatusLine& out;
  Progress& progress;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> decoderMissing{false};
  std::atomic<std::uint32_t> converted{0};
  std::mutex terminal{};
};

void Work(Shared& shared) {
  for (;;) {
    const std::size_t i = shared.next++;
    if (i >= shared.files.size() || Interrupted() || shared.decoderMissing) return;
    const fs::path& file = shared.files[i];
    const fs::path target = shared.wavFolder / (file.filename().string() + ".wav");
    const WavOutcome outcome = Convert(shared.decoder, file, target);
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    const std::lock_guard lock(shared.terminal);
    const QString name = PathText(file.filename());
    if (outcome == WavOutcome::DecoderMissing) {
      if (!shared.decoderMissing.exchange(true)) {
        Say(shared.out, QStringLiteral("无法启动解码程序 %1").arg(QString::fromStdString(shared.decoder.Program())));
      }
      return;
    }
    if (outcome == WavOutcome::Written) {
      ++shared.converted;
      shared.progress.AddFinishedItem(name, ec ? 0 : size,
                                      QStringLiteral("→ %1（%2）").arg(PathText(target), SizeText(fs::file_size(target, ec))));
    } else {
      if (outcome != WavOutcome::Interrupted) Say(shared.out, ProblemText(outcome, file, target));
      shared.progress.AddFinishedItem(name, ec ? 0 : size, QStringLiteral("失败"));
    }
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
  fs::create_directories(wavFolder, ec);
  if (!fs::is_directory(wavFolder, ec)) {
    Say(out, QStringLiteral("无法建立目录 %1").arg(PathText(wavFolder)));
    return kFailed;
  }
  const auto files = catalogue::SearchRecordingFiles(spxFolder);
  if (files.empty()) {
    Say(out, QStringLiteral("%1 里没有 .spx 文件").arg(PathText(spxFolder)));
    return kFailed;
  }
  std::uint64_t total = 0;
  for (const auto& file : files) {
    const auto size = fs::file_size(file, ec);
    total += ec ? 0 : size;
  }

  // The decoder's input goes to a folder of this run's own; the folders
  // above were made absolute before it became the working folder.
  shell::PrivateWorkingDirectory scratch;
  const audio::ExternalDecoder decoder(decoderProgram);
  Progress progress(out, a.quiet, static_cast<std::uint32_t>(files.size()), total);
  Shared shared{files, wavFolder, decoder, out, progress};
  // A recording's decoding cannot be split without a seam, but recordings
  // can be decoded side by side.
  const std::size_t workers = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, files.size());
  {
    std::vector<std::jthread> threads;
    for (std::size_t w = 1; w < workers; ++w) threads.emplace_back([&shared] { Work(shared); });
    Work(shared);
  }
  const std::uint32_t converted = shared.converted;
  if (shared.decoderMissing) return kFailed;
  if (Interrupted()) {
    Say(out, QStringLiteral("已中断：转换了 %1 个文件").arg(converted));
    return kInterrupted;
  }
  const auto failed = files.size() - converted;
  if (!a.quiet || failed > 0) {
    QString summary = QStringLiteral("转换了 %1 个文件（用时 %2 秒）").arg(converted).arg(progress.Seconds(), 0, 'f', 1);
    if (failed > 0) summary += QStringLiteral("；%1 个没有转换成功").arg(failed);
    Say(out, summary);
  }
  return failed == 0 ? kDone : kFailed;
}

}  // namespace parlomax::cli
