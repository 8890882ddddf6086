#include "phone/Content.h"

#include "platform/speex/SpeexCodec.h"

#include <sndfile.h>
#include <speex/speex_resampler.h>

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <stdexcept>

namespace parlomax::phone {
namespace {

std::vector<std::int16_t> Downmix(const std::vector<std::int16_t>& interleaved, int channels) {
  if (channels == 1) return interleaved;
  std::vector<std::int16_t> mono(interleaved.size() / channels);
  for (std::size_t i = 0; i < mono.size(); ++i) {
    int sum = 0;
    for (int c = 0; c < channels; ++c) sum += interleaved[i * channels + c];
    mono[i] = static_cast<std::int16_t>(sum / channels);
  }
  return mono;
}

std::vector<std::int16_t> ResampleTo8000(const std::vector<std::int16_t>& mono, int rate) {
  if (rate == speex::kSampleRate || mono.empty()) return mono;
  int error = 0;
  SpeexResamplerState* resampler =
      speex_resampler_init(1, static_cast<spx_uint32_t>(rate), speex::kSampleRate, 8, &error);
  if (resampler == nullptr) {
    throw std::runtime_error("cannot resample from " + std::to_string(rate) + " Hz");
  }
  std::vector<std::int16_t> out(mono.size() * speex::kSampleRate / rate + 64);
  spx_uint32_t inLength = static_cast<spx_uint32_t>(mono.size());
  spx_uint32_t outLength = static_cast<spx_uint32_t>(out.size());
  speex_resampler_process_int(resampler, 0, mono.data(), &inLength, out.data(), &outLength);
  speex_resampler_destroy(resampler);
  out.resize(outLength);
  return out;
}

// TYPE_NUMBER_MMDDhhmm, e.g. in_13800138000_03171430 or memo__12251830.
bool ParseCallFromName(const QString& stem, catalogue::RecordingFields& call) {
  static const QRegularExpression pattern(
      QStringLiteral("^(in|out|memo)_([0-9*#]{0,12})_(\\d\\d)(\\d\\d)(\\d\\d)(\\d\\d)$"),
      QRegularExpression::CaseInsensitiveOption);
  const auto match = pattern.match(stem);
  if (!match.hasMatch()) return false;
  const QString type = match.captured(1).toLower();
  call.callType = type == QLatin1String("in") ? 0 : type == QLatin1String("out") ? 1 : 2;
  call.telephoneNumber = match.captured(2);
  call.month = match.captured(3).toUInt();
  call.day = match.captured(4).toUInt();
  call.hour = match.captured(5).toUInt();
  call.minute = match.captured(6).toUInt();
  return true;
}

catalogue::RecordingFields CallFromFile(const std::filesystem::path& file) {
  catalogue::RecordingFields call;
  const QFileInfo info(QString::fromStdString(file.string()));
  if (ParseCallFromName(info.completeBaseName(), call)) return call;
  const QDateTime when = info.lastModified();
  call.callType = static_cast<unsigned>(catalogue::CallType::Memo);
  call.month = static_cast<unsigned>(when.date().month());
  call.day = static_cast<unsigned>(when.date().day());
  call.hour = static_cast<unsigned>(when.time().hour());
  call.minute = static_cast<unsigned>(when.time().minute());
  return call;
}

Recording LoadWav(const std::filesystem::path& file) {
  SF_INFO format{};
  SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &format);
  if (sound == nullptr) {
    throw std::runtime_error(file.string() + ": not a sound file this emulator can read (" +
                             sf_strerror(nullptr) + ")");
  }
  if (format.channels < 1 || format.samplerate < 1000 || format.samplerate > 384000) {
    sf_close(sound);
    throw std::runtime_error(file.string() + ": " + std::to_string(format.samplerate) + " Hz, " +
                             std::to_string(format.channels) +
                             " channels is not a sound this emulator can take");
  }
  std::vector<std::int16_t> interleaved(static_cast<std::size_t>(format.frames) * format.channels);
  const sf_count_t frames = sf_readf_short(sound, interleaved.data(), format.frames);
  sf_close(sound);
  interleaved.resize(static_cast<std::size_t>(frames) * format.channels);
  Recording recording = RecordingFromSamples(std::move(interleaved), format.channels,
                                             format.samplerate);
  recording.call = CallFromFile(file);
  return recording;
}

}  // namespace

Recording RecordingFromSamples(std::vector<std::int16_t> interleaved, int channels, int rate) {
  const auto mono = ResampleTo8000(Downmix(interleaved, channels), rate);
  speex::SpeexEncoder encoder;
  Recording recording;
  recording.payload = encoder.Encode(mono);
  return recording;
}

std::vector<Recording> LoadWavFolder(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    auto extension = entry.path().extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    if (entry.is_regular_file() && extension == ".wav") files.push_back(entry.path());
  }
  if (ec) throw std::runtime_error(folder.string() + ": " + ec.message());
  std::sort(files.begin(), files.end());
  std::vector<Recording> recordings;
  for (const auto& file : files) recordings.push_back(LoadWav(file));
  return recordings;
}

}  // namespace parlomax::phone
