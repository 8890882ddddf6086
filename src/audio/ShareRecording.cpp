#include "audio/ShareRecording.h"

#include "audio/WavHeader.h"
#include "catalogue/RecordingHeader.h"
#include "catalogue/RecordingTexts.h"
#include "platform/files/KeptFile.h"
#include "platform/files/PathText.h"
#include "platform/files/PlainFile.h"
#include "platform/files/SystemReason.h"

#include <cerrno>
#include <vector>

#include <unistd.h>

namespace parlomax::audio {
namespace {

namespace fs = std::filesystem;

CallTags TagsOf(const files::PlainFile& source) {
  catalogue::RecordingHeader header{};
  if (source.ReadAt(0, header) != header.size()) return {};
  const catalogue::ColumnTexts texts = catalogue::RecordingColumnTexts(header);
  // The list pads its columns; a tag holds the text alone.
  return {texts.telephoneNumber.trimmed(), texts.time.simplified(), texts.type.trimmed()};
}

// The decoder's bytes as samples: a block may end in the middle of one,
// whose first byte waits for the next block.
class SampleAssembler {
 public:
  std::span<const std::int16_t> Take(std::span<const std::uint8_t> bytes) {
    samples_.clear();
    for (const std::uint8_t b : bytes) {
      if (!half_) {
        low_ = b;
        half_ = true;
        continue;
      }
      samples_.push_back(static_cast<std::int16_t>(static_cast<std::uint16_t>(low_ | (b << 8))));
      half_ = false;
    }
    return samples_;
  }

 private:
  std::vector<std::int16_t> samples_;
  std::uint8_t low_ = 0;
  bool half_ = false;
};

}  // namespace

fs::path SharedFileFor(const fs::path& folder, const fs::path& spx, ShareFormat format) {
  fs::path name = spx.filename();
  if (name.extension() == ".spx") name.replace_extension();
  std::string file = name.string();
  file += '.';
  file += FormatName(format);
  return folder / file;
}

ShareResult ShareRecording(const ExternalDecoder& decoder, const fs::path& spx,
                           const fs::path& target, ShareFormat format,
                           const ShareProgress& progress, const StopRequested& stop) {
  const files::PlainFile source(spx);
  if (!source.IsOpen())
    return {source.NotPlain() ? ShareOutcome::NotPlain : ShareOutcome::CannotRead, source.Error()};
  // A file shorter than a header holds no sound: an empty file of the format.
  const std::uint64_t start =
      std::min<std::uint64_t>(source.Size(), catalogue::kRecordingHeaderSize);
  const std::uint64_t payload = source.Size() - start;
  const std::uint64_t soundBytes = payload * kOutputBytesPerPayloadByte;
  if (format == ShareFormat::Wav && !FitsInWav(soundBytes)) return {ShareOutcome::TooLong};
  if (::lseek(source.Descriptor(), static_cast<off_t>(start), SEEK_SET) < 0)
    return {ShareOutcome::CannotRead, errno};

  files::KeptFile out;
  if (!out.Create(target)) return {ShareOutcome::CannotWrite, out.Error()};
  auto encoder =
      MakeSoundEncoder(format, TagsOf(source), soundBytes / 2,
                       [&out](std::span<const std::uint8_t> bytes) { return out.Write(bytes); });
  if (!encoder) {
    out.Finish(files::Ending::Discard);
    return {ShareOutcome::EncoderFailed};
  }
  bool refused = false;
  std::uint64_t done = 0;
  SampleAssembler assembler;
  const DecodeOutcome decoded = decoder.DecodeWhole(
      source.Descriptor(), payload,
      [&](std::span<const std::uint8_t> bytes) {
        if (refused) return;
        refused = !encoder->Add(assembler.Take(bytes));
        done += bytes.size();
        if (progress) progress(done, soundBytes);
      },
      // A file that cannot be written any more needs no more sound.
      [&] { return refused || (stop && stop()); });
  const bool whole = decoded == DecodeResult::Decoded && !refused && encoder->Finish();
  encoder.reset();
  out.Finish(whole ? files::Ending::CompleteOrDiscard : files::Ending::Discard);
  if (out.Error() != 0) return {ShareOutcome::CannotWrite, out.Error()};
  if (whole) return {ShareOutcome::Written};
  if (refused || decoded == DecodeResult::Decoded) return {ShareOutcome::EncoderFailed};
  if (decoded == DecodeResult::NotStarted) return {ShareOutcome::DecoderMissing};
  if (decoded == DecodeResult::Stopped) return {ShareOutcome::Stopped};
  return {ShareOutcome::DecodeFailed, 0, decoded};
}

QString ShareProblemText(const ShareResult& result, const fs::path& spx, const fs::path& target) {
  const QString file = files::PathText(spx);
  switch (result.outcome) {
    case ShareOutcome::NotPlain:
      return QStringLiteral("跳过 %1：不是普通文件").arg(file);
    case ShareOutcome::CannotRead:
      return QStringLiteral("无法读取 %1：%2").arg(file, files::SystemReasonText(result.error));
    case ShareOutcome::TooLong:
      return TooLongForWavText(file);
    case ShareOutcome::CannotWrite:
      return files::WriteFailedText(target, result.error);
    case ShareOutcome::EncoderFailed:
      return QStringLiteral("编码失败：%1（%2）").arg(file, files::PathText(target));
    case ShareOutcome::DecoderMissing:
      return QStringLiteral("无法启动解码程序");
    case ShareOutcome::DecodeFailed:
      return QStringLiteral("解码失败：%1（%2）").arg(file, DecodeFaultText(result.decoded));
    case ShareOutcome::Written:
    case ShareOutcome::Stopped:
      break;
  }
  return {};
}

}  // namespace parlomax::audio
