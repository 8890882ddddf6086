// convert: .spx files into WAV files, each recording decoded in one run.
#include "audio/ExternalDecoder.h"
#include "audio/WavHeader.h"
#include "catalogue/FolderList.h"
#include "catalogue/RecordingHeader.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/Progress.h"
#include "platform/shell/PrivateWorkingDirectory.h"
#include "transfer/FileWriter.h"

#include <QFile>

#include <fstream>
#include <iterator>

namespace parlomax::cli {
namespace {

namespace fs = std::filesystem;

const std::string kDecoded = "whole_recording.raw";
constexpr std::size_t kBlock = 1 << 20;

std::optional<std::vector<std::uint8_t>> ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

// The header, then the decoder's output as it is; false when any of it is missing.
bool WriteWav(const fs::path& target, std::uint64_t dataSize) {
  transfer::FileWriter writer;
  if (!writer.Open(PathText(target))) return false;
  const auto header = audio::WavHeader(static_cast<std::uint32_t>(dataSize));
  writer.Append(header.data(), header.size());
  std::ifstream decoded(kDecoded, std::ios::binary);
  std::vector<std::uint8_t> block(kBlock);
  std::uint64_t written = 0;
  while (decoded && written < dataSize) {
    decoded.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size()));
    const auto n = static_cast<std::size_t>(decoded.gcount());
    writer.Append(block.data(), n);
    written += n;
  }
  return writer.Finish(written == dataSize) && written == dataSize;
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

  // The decoder's scratch files go to a folder of this run's own; the
  // folders above were made absolute before it became the working folder.
  shell::PrivateWorkingDirectory scratch;
  const audio::ExternalDecoder decoder(decoderProgram);
  Progress progress(out, a.quiet, static_cast<std::uint32_t>(files.size()), total);
  std::uint32_t converted = 0;
  for (const auto& file : files) {
    if (Interrupted()) break;
    const QString name = QFile::decodeName(QByteArray::fromStdString(file.filename().string()));
    progress.StartItem(name, {});
    const auto bytes = ReadFile(file);
    if (!bytes) {
      Say(out, QStringLiteral("无法读取 %1").arg(PathText(file)));
      progress.FinishItem(0, QStringLiteral("失败"));
      continue;
    }
    const std::size_t start = std::min(bytes->size(), catalogue::kRecordingHeaderSize);
    const std::span<const std::uint8_t> payload(bytes->data() + start, bytes->size() - start);
    const auto result = decoder.DecodeChunk(payload, kDecoded);
    if (result == audio::DecodeResult::NotStarted) {
      Say(out, QStringLiteral("无法启动解码程序 %1").arg(QString::fromStdString(decoder.Program())));
      return kFailed;
    }
    const fs::path target = wavFolder / (file.filename().string() + ".wav");
    const std::uint64_t dataSize = payload.size() * audio::kOutputBytesPerPayloadByte;
    // A WAV file counts its size in 32 bits: some 74 hours of sound.
    if (dataSize > 0xFFFFFFFFu - audio::kWavHeaderSize) {
      Say(out, QStringLiteral("录音太长，WAV 文件装不下：%1").arg(PathText(file)));
      progress.FinishItem(bytes->size(), QStringLiteral("失败"));
      continue;
    }
    if (result != audio::DecodeResult::Decoded || !WriteWav(target, dataSize)) {
      Say(out, result != audio::DecodeResult::Decoded ? QStringLiteral("解码失败：%1").arg(PathText(file))
                                                      : QStringLiteral("无法写入 %1").arg(PathText(target)));
      progress.FinishItem(bytes->size(), QStringLiteral("失败"));
      continue;
    }
    fs::remove(kDecoded, ec);
    ++converted;
    progress.FinishItem(bytes->size(), QStringLiteral("→ %1（%2）").arg(PathText(target), SizeText(audio::kWavHeaderSize + dataSize)));
  }
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
