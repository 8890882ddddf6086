// The WAV conversion job with the real decoder program.
#include "audio/ConversionJob.h"

#include "FileBytes.h"
#include "JobThread.h"
#include "PumpEvents.h"
#include "RecordingMessageService.h"
#include "SpxFiles.h"
#include "TempFolder.h"
#include "audio/WavHeader.h"
#include "catalogue/FolderList.h"
#include "platform/files/WriteFaults.h"
#include "platform/shell/PrivateWorkingDirectory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include <sys/stat.h>

namespace parlomax::audio {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t Le32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t{b[at + 3]} << 24;
}

// What a job showed, as it showed it.
class RecordingConversionView final : public ConversionView {
 public:
  std::function<void(const QString&)> onFile;
  std::function<void(std::uint32_t)> onFileBar;
  std::function<void(std::uint32_t)> onFileBarMaximum;

  void ShowFileName(const QString& name) override {
    Note("file " + name);
    if (onFile) onFile(name);
  }
  void SetFileBar(std::uint32_t value, std::uint32_t maximum) override {
    Note(QStringLiteral("file bar %1/%2").arg(value).arg(maximum));
    if (onFileBar) onFileBar(value);
    if (onFileBarMaximum) onFileBarMaximum(maximum);
  }
  void SetTotalBar(std::uint32_t value, std::uint32_t maximum) override {
    std::lock_guard lock(mutex_);
    totalMaximum_ = maximum;
    lastTotal_ = value;
  }
  void RestoreControls() override { Note("restore"); }
  void EndJob(bool completed) override { Note(completed ? "end completed" : "end cancelled"); }
  void ErrorStop() override { Note("error stop"); }

  std::vector<QString> Events() const { std::lock_guard lock(mutex_); return events_; }
  QString Last() const { std::lock_guard lock(mutex_); return events_.empty() ? QString() : events_.back(); }
  std::uint32_t TotalMaximum() const { std::lock_guard lock(mutex_); return totalMaximum_; }
  std::uint32_t LastTotal() const { std::lock_guard lock(mutex_); return lastTotal_; }

 private:
  void Note(const QString& event) {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
  }
  mutable std::mutex mutex_;
  std::vector<QString> events_;
  std::uint32_t totalMaximum_ = 0, lastTotal_ = 0;
};

class ConversionJobTest : public ::testing::Test {
 protected:
  // A recording file whose payload is `bytes` long (a file of 19 + bytes).
  Bytes Recording(const std::string& name, std::size_t bytes, double pitch = 440) {
    const Bytes payload = testing::TonePayload(bytes, pitch);
    testing::WriteSpx(input_ / name, payload);
    return payload;
  }
  // The job as the window starts it: on the rows of a listing of the
  // folder, all of them or the selected ones.
  ConversionJob Job(ConversionKind kind, std::vector<bool> selected = {},
                    std::uint32_t workTotal = 0, const ExternalDecoder* decoder = nullptr) {
    running_ = true;
    std::vector<fs::path> rows;
    const auto listed = catalogue::SearchRecordingFiles(input_.Path());
    for (std::size_t i = 0; i < listed.size(); ++i) {
      if (kind == ConversionKind::All || (i < selected.size() && selected[i]))
        rows.push_back(listed[i]);
    }
    return ConversionJob({kind, decoder ? *decoder : decoder_, messages_, view_, running_,
                          std::move(rows), output_.Path(), workTotal});
  }
  void Run(ConversionKind kind, std::vector<bool> selected = {}, std::uint32_t workTotal = 0,
           const ExternalDecoder* decoder = nullptr) {
    ConversionJob job = Job(kind, std::move(selected), workTotal, decoder);
    testing::RunOnItsOwnThread(job);
  }
  Bytes Wav(const std::string& spx) { return testing::FileBytes(output_ / (spx + ".wav")); }
  // The data a WAV file must hold: the payload in 500-byte chunks, the last
  // one what is left, each decoded on its own.
  static Bytes Converted(const Bytes& payload) {
    const auto samples = testing::DecodedInChunks(payload, 500);
    Bytes bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
  }
  static void ExpectWav(const Bytes& wav, const Bytes& data) {
    ASSERT_GE(wav.size(), kWavHeaderSize);
    const auto header = WavHeader(static_cast<std::uint32_t>(data.size()));
    EXPECT_TRUE(std::equal(header.begin(), header.end(), wav.begin()));
    EXPECT_EQ(Le32(wav, 4), data.size() + 36);
    EXPECT_EQ(Le32(wav, 40), data.size());
    EXPECT_TRUE(Bytes(wav.begin() + kWavHeaderSize, wav.end()) == data);
  }

  shell::PrivateWorkingDirectory work_{fs::temp_directory_path()};
  testing::TempFolder input_, output_;
  ExternalDecoder decoder_{PARLOMAX_DECODER_PROGRAM};
  testing::RecordingMessageService messages_;
  RecordingConversionView view_;
  std::atomic<bool> running_{false};
};

TEST(WavHeader, IsThe44BytesOfMono8000Hz16BitPcm) {
  const auto h = WavHeader(192000);
  const Bytes b(h.begin(), h.end());
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(Le32(b, 4), 192036u);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(Le32(b, 16), 16u);
  EXPECT_EQ(Le32(b, 20), 1u | 1u << 16);  // PCM, one channel
  EXPECT_EQ(Le32(b, 24), 8000u);
  EXPECT_EQ(Le32(b, 28), 16000u);
  EXPECT_EQ(Le32(b, 32), 2u | 16u << 16);  // 2-byte frames of 16 bits
  EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
  EXPECT_EQ(Le32(b, 40), 192000u);
}

TEST_F(ConversionJobTest, EveryFileBecomesAWavOfAllItsSound) {
  const Bytes twelve = Recording("03171430_0007.spx", 12000);  // 12,019 bytes: 24 whole chunks
  const Bytes odd = Recording("b.spx", 1234, 330);            // 1,253 bytes: 2 chunks and 234 bytes
  const Bytes small = Recording("c.spx", 400);                 // under one chunk
  std::ofstream(input_ / "d.spx") << "short";                  // not even a header
  std::vector<std::uint32_t> fileBarMaxima;
  view_.onFile = [&](const QString&) { fileBarMaxima.push_back(0); };
  view_.onFileBarMaximum = [&](std::uint32_t maximum) { fileBarMaxima.back() = maximum; };
  Run(ConversionKind::All, {}, 24 + 1 + 3 + 1 + 1);

  const Bytes wav = Wav("03171430_0007.spx");
  EXPECT_EQ(wav.size(), 192044u);  // a file of whole chunks, as ever
  ExpectWav(wav, Converted(twelve));
  ExpectWav(Wav("b.spx"), Converted(odd));
  EXPECT_EQ(Converted(odd).size(), 1234u * 16);
  ExpectWav(Wav("c.spx"), Converted(small));
  EXPECT_EQ(Converted(small).size(), 400u * 16);
  ExpectWav(Wav("d.spx"), {});
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"转换全部文件成功！"});
  EXPECT_EQ(view_.Last(), "end completed");
  // One step per decoder run: the remainder's run is counted too.
  EXPECT_EQ(fileBarMaxima, (std::vector<std::uint32_t>{24, 3, 1, 0}));
  EXPECT_EQ(view_.TotalMaximum(), 30u);
  EXPECT_EQ(view_.LastTotal(), 24u + 3u + 1u);
  EXPECT_FALSE(fs::exists(kDecoderInput));
  EXPECT_FALSE(fs::exists(kConversionOutput));
}

TEST_F(ConversionJobTest, TheSelectedRowsAreConvertedAndNoOthers) {
  // Five files; the rows are the folder's search order.
  for (int i = 0; i < 5; ++i) Recording("0" + std::to_string(i) + ".spx", 1000 + 600 * i);
  const auto files = catalogue::SearchRecordingFiles(input_.Path());
  std::vector<bool> selected(5, false);
  selected[0] = selected[2] = true;
  Run(ConversionKind::Selected, selected);
  std::uint64_t runs = 0;
  for (int i = 0; i < 5; ++i) {
    const std::string name = files[i].filename().string();
    EXPECT_EQ(fs::exists(output_ / (name + ".wav")), selected[i]) << name;
    if (selected[i]) runs += (fs::file_size(files[i]) - 19 + 499) / 500;
  }
  EXPECT_EQ(view_.TotalMaximum(), runs);
  EXPECT_EQ(view_.LastTotal(), runs) << "the bar reaches its end";
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"转换选择文件成功！"});
}

TEST_F(ConversionJobTest, ACancelLeavesTheFileUnderWayTellingTheTruthAndMakesNoMore) {
  for (const char* name : {"1.spx", "2.spx", "3.spx"}) Recording(name, 60000);
  const auto files = catalogue::SearchRecordingFiles(input_.Path());
  const QString second = QString::fromStdString(files[1].filename().string());
  bool inSecond = false;
  view_.onFile = [&](const QString& name) { inSecond = name == second; };
  view_.onFileBar = [&](std::uint32_t value) {
    if (inSecond && value > 0) running_ = false;  // the user cancels
  };
  Run(ConversionKind::All, {}, 3 * 121);

  const Bytes first = Wav(files[0].filename().string());
  EXPECT_EQ(first.size(), 44u + 120 * 8000);
  const Bytes cut = Wav(files[1].filename().string());
  ASSERT_GT(cut.size(), 44u);
  ASSERT_LT(cut.size(), 44u + 120 * 8000);
  EXPECT_EQ(Le32(cut, 40), cut.size() - 44);
  EXPECT_EQ(Le32(cut, 4), cut.size() - 8);
  EXPECT_FALSE(fs::exists(output_ / (files[2].filename().string() + ".wav")));
  EXPECT_TRUE(messages_.Texts().empty());
  EXPECT_EQ(view_.Last(), "end cancelled");
  EXPECT_FALSE(fs::exists(kDecoderInput));
  EXPECT_FALSE(fs::exists(kConversionOutput));
}

TEST_F(ConversionJobTest, AFileThatCannotBeReadOrWrittenStopsTheJob) {
  Recording("a.spx", 1000);
  fs::create_symlink(input_ / "nowhere", input_ / "b.spx");  // listed, but unreadable
  Run(ConversionKind::All, {}, 4);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"打开文件失败！"});
  EXPECT_EQ(view_.Last(), "error stop");

  messages_.Clear();
  fs::remove(input_ / "b.spx");
  fs::remove_all(output_.Path());
  Run(ConversionKind::All, {}, 3);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"创建文件失败！"});
  EXPECT_EQ(view_.Last(), "error stop");
}

TEST_F(ConversionJobTest, AFullDiskIsSaidOnceEndsTheJobAndNeverCostsAnEarlierWav) {
  for (const char* name : {"1.spx", "2.spx", "3.spx"}) Recording(name, 6000);
  Run(ConversionKind::All, {}, 3 * 13);
  const Bytes earlier = Wav("2.spx");
  fs::remove(output_ / "3.spx.wav");
  messages_.Clear();

  // The first file fits again; the second has an earlier file to lose.
  files::FailWritesAfter(44 + 12 * 8000 + 44 + 5 * 8000 + 100, ENOSPC);
  Run(ConversionKind::All, {}, 3 * 13);
  files::StopFailingWrites();
  ASSERT_EQ(messages_.Texts(), std::vector<QString>{QStringLiteral("写入 %1 失败：磁盘空间不足")
                                                        .arg(QString::fromStdString((output_ / "2.spx.wav").string()))});
  EXPECT_EQ(view_.Last(), "end cancelled") << "no success, and the end of a cancelled job";
  EXPECT_EQ(Wav("2.spx"), earlier);
  // What was cut sits beside it, saying truly what it holds: whole samples only.
  const Bytes cut = testing::FileBytes(output_ / "2.spx.wav.part");
  ASSERT_EQ(cut.size(), 44u + 5 * 8000 + 100);
  EXPECT_EQ(Le32(cut, 40), 5u * 8000 + 100);
  EXPECT_EQ(Le32(cut, 4), 5u * 8000 + 100 + 36);
  EXPECT_FALSE(fs::exists(output_ / "3.spx.wav")) << "a full disk ends the job";
  EXPECT_FALSE(fs::exists(kConversionOutput));
}

TEST_F(ConversionJobTest, APipeByARecordingsNameIsAFileThatCannotBeOpenedNotAHang) {
  Recording("a.spx", 1000);
  ASSERT_EQ(::mkfifo((input_ / "b.spx").c_str(), 0600), 0);
  Recording("c.spx", 1000);
  Run(ConversionKind::All, {}, 9);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"打开文件失败！"});
  EXPECT_EQ(view_.Last(), "error stop");
  EXPECT_TRUE(fs::exists(output_ / "a.spx.wav"));
  EXPECT_FALSE(fs::exists(output_ / "c.spx.wav"));
}

TEST_F(ConversionJobTest, ARecordingTooLongForAWavFileIsRefusedBeforeAnythingIsWritten) {
  // 300 MB of payload would be 4.8 GB of sound; a sparse file costs no disk.
  testing::WriteSpx(input_ / "long.spx", testing::TonePayload(1000, 440));
  fs::resize_file(input_ / "long.spx", 19 + 300'000'000);
  Run(ConversionKind::All, {}, 600001);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"录音太长，WAV 文件装不下：long.spx"});
  EXPECT_EQ(view_.Last(), "error stop");
  EXPECT_TRUE(fs::is_empty(output_.Path()));
}

TEST_F(ConversionJobTest, ADecoderThatCannotStartStopsTheJobAndCostsNoEarlierWav) {
  Recording("a.spx", 2000);
  Run(ConversionKind::All, {}, 5);
  const Bytes earlier = Wav("a.spx");
  messages_.Clear();
  const ExternalDecoder missing("/nonexistent/speex");
  Run(ConversionKind::All, {}, 5, &missing);
  // The earlier file stays; what this run holds, and no more than that, beside it.
  EXPECT_EQ(Wav("a.spx"), earlier);
  ExpectWav(testing::FileBytes(output_ / "a.spx.wav.part"), {});
  ASSERT_EQ(messages_.Texts().size(), 1u);
  EXPECT_TRUE(messages_.Texts()[0].contains("/nonexistent/speex"));
  EXPECT_EQ(view_.Last(), "error stop");
}

// A decoder that lets the second run down, the way a user's did: the real
// one for every other run.
struct DecoderFault {
  const char* name;
  const char* script;      // what the second run does instead of decoding
  const char* reason;      // part of what the closing message says of it
  bool stopped = false;    // the job is stopped while the run hangs
  bool byClosing = false;  // ... by the window closing rather than the user
};

void PrintTo(const DecoderFault& fault, std::ostream* out) { *out << fault.name; }

class ADecoderRunThatFails : public ConversionJobTest,
                             public ::testing::WithParamInterface<DecoderFault> {
 protected:
  // A run that hangs says so in the working directory before it does.
  static constexpr const char* kHanging = "hanging";

  std::string FaultyDecoder() {
    const fs::path script = scripts_ / "speex";
    std::ofstream(script) << "#!/bin/sh\n"
                             "n=$(cat runs 2>/dev/null || echo 0); echo $((n + 1)) > runs\n"
                             "if [ \"$n\" -eq 1 ]; then\n"
                          << GetParam().script << "\nfi\nexec " << PARLOMAX_DECODER_PROGRAM
                          << " \"$@\"\n";
    fs::permissions(script, fs::perms::owner_all);
    return script.string();
  }

  testing::TempFolder scripts_;
};

TEST_P(ADecoderRunThatFails, FailsItsFileKeepsTheEarlierWavAndTheCutOneAndTheJobGoesOn) {
  Recording("a.spx", 1000);
  const Bytes b = Recording("b.spx", 1000, 330);
  std::ofstream(output_ / "a.spx.wav") << "the earlier conversion";
  const Bytes earlier = Wav("a.spx");
  // A second for a run: plenty for a half-second chunk, short for a test.
  const ExternalDecoder decoder(FaultyDecoder(), {std::chrono::milliseconds(1000), {}});

  ConversionJob job = Job(ConversionKind::All, {}, 6, &decoder);
  testing::JobThread thread(job);
  if (GetParam().stopped) {
    while (!fs::exists(kHanging)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (GetParam().byClosing) {
      thread.RequestStop();
    } else {
      running_ = false;
    }
  }
  thread.Wait();

  EXPECT_EQ(Wav("a.spx"), earlier);
  // What the first run decoded, kept beside it, saying what it holds.
  const Bytes cut = testing::FileBytes(output_ / "a.spx.wav.part");
  ExpectWav(cut, Bytes(cut.begin() + std::min<std::size_t>(cut.size(), kWavHeaderSize), cut.end()));
  EXPECT_EQ(cut.size(), kWavHeaderSize + 8000);
  if (GetParam().stopped) {
    EXPECT_TRUE(messages_.Texts().empty());
    EXPECT_EQ(view_.Last(), "end cancelled");
    EXPECT_FALSE(fs::exists(output_ / "b.spx.wav"));
    return;
  }
  ExpectWav(Wav("b.spx"), Converted(b));
  ASSERT_EQ(messages_.Texts().size(), 1u);
  const QString said = messages_.Texts()[0];
  EXPECT_TRUE(said.startsWith("转换结束，但有 1 个文件没有转换成功（第一个是 a.spx，"))
      << said.toStdString();
  EXPECT_TRUE(said.contains(GetParam().reason)) << said.toStdString();
  EXPECT_TRUE(said.contains(QString::fromStdString((output_ / "a.spx.wav.part").string())))
      << said.toStdString();
  EXPECT_EQ(view_.Last(), "end completed");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ADecoderRunThatFails,
    ::testing::Values(
        DecoderFault{"Crashes", "kill -KILL $$", "信号 9"},
        DecoderFault{"ExitsWellWithoutOutput", "exit 0", "只输出了 0 字节，应为 8000 字节"},
        DecoderFault{"WritesHalf",
                     "head -c $(($(stat -c %s \"$1\") * 8)) /dev/zero > \"$2\"; exit 0",
                     "只输出了 4000 字节"},
        DecoderFault{"HangsPastItsLimit", "exec sleep 1000", "1 秒内没有结束"},
        DecoderFault{"HangsTillTheUserStops", "touch hanging; exec sleep 1000", "", true},
        DecoderFault{"HangsTillTheWindowCloses", "touch hanging; exec sleep 1000", "", true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConversionJobTest, ConvertingAllOfAnEmptyFolderSaysSoAndMakesNothing) {
  Run(ConversionKind::All, {}, 0);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"此目录没有任何可支持的文件！"});
  EXPECT_EQ(view_.Last(), "end cancelled");
  EXPECT_TRUE(fs::is_empty(output_.Path()));
}

}  // namespace
}  // namespace parlomax::audio
