// Copying from the emulator program into files, as a user does, and pulling
// the cable out in the middle of it.
#include "BeingWritten.h"
#include "FileBytes.h"
#include "ListRows.h"
#include "QtPrinters.h"
#include "ThreadsNamed.h"
#include "WindowWithEmulator.h"
#include "catalogue/RecordingTexts.h"
#include "phone/Content.h"

#include <fstream>
#include <iterator>

namespace parlomax::app {
namespace {

using testing::PumpUntil;
using Bytes = std::vector<std::uint8_t>;

constexpr unsigned kRecordings = 24;
constexpr unsigned kSeed = 11;

class CopyWithEmulatorTest : public testing::WindowWithEmulator {
 protected:
  CopyWithEmulatorTest() : expected_({9, 1, 7, 4}, phone::GenerateRecordings(kRecordings, kSeed)) {
    folders_.answer = QString::fromStdString(saveFolder_.Path().string());
  }

  std::unique_ptr<testing::ChildProcess> PlugInTheTelephone(std::vector<std::string> extra = {}) {
    std::vector<std::string> options{"--generate", std::to_string(kRecordings), "--seed",
                                     std::to_string(kSeed)};
    options.insert(options.end(), extra.begin(), extra.end());
    return PlugIn(options);
  }
  void ListAndChooseTheFolder() {
    ASSERT_TRUE(WaitUntilAttached());
    LogInAndList(QStringLiteral("9174"));
    ASSERT_EQ(testing::RowCount(List()), static_cast<int>(kRecordings));
    Button("BitBtnSave")->click();
  }
  std::filesystem::path FileOf(std::uint16_t index) {
    return saveFolder_ /
           catalogue::RecordingFileName(expected_.Header(index), index + 1u).toStdString();
  }
  Bytes ExpectedFile(std::uint16_t index) {
    const auto header = expected_.Header(index);
    Bytes bytes(header.begin(), header.end());
    const auto payload = expected_.Payload(index);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
  }
  // Waits until the copy of recording `index` is under way, some way in.
  bool WaitUntilCopying(std::uint16_t index) {
    return PumpUntil([&] {
      std::error_code ec;
      const auto beingWritten = testing::FileBeingWritten(FileOf(index));
      return !beingWritten.empty() && std::filesystem::file_size(beingWritten, ec) > 19 + 4096 && !ec;
    }, 20000);
  }
  bool WaitForTheCopy() {
    return testing::PumpUntilCopyJobsEnded(60000);
  }

  testing::TempFolder saveFolder_;
  const phone::TelephoneModel expected_;
};

TEST_F(CopyWithEmulatorTest, EveryRecordingArrivesByteForByte) {
  auto phone = PlugInTheTelephone();
  ListAndChooseTheFolder();
  Button("BitBtnUploadAll")->click();
  ASSERT_TRUE(WaitForTheCopy());
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"全部文件上传结束"});
  std::size_t longest = 0;
  for (std::uint16_t i = 0; i < kRecordings; ++i) {
    EXPECT_EQ(testing::FileBytes(FileOf(i)), ExpectedFile(i)) << "recording " << i;
    longest = std::max(longest, expected_.Payload(i).size());
  }
  EXPECT_GT(longest, 180000u);  // several minutes of sound among them
  EXPECT_EQ(Button("BitBtnUploadAll")->text(), "上传所有");
}

TEST_F(CopyWithEmulatorTest, PullingTheCableMidCopyKeepsWhatArrivedAndANewTelephoneWorks) {
  // Slow enough that the hour-long second recording is still coming when the
  // cable comes out.
  auto phone = PlugInTheTelephone({"--latency", "2"});
  ListAndChooseTheFolder();
  Button("BitBtnUploadAll")->click();
  ASSERT_TRUE(WaitUntilCopying(1));
  phone->Signal(SIGKILL);
  phone->Wait();
  ASSERT_TRUE(WaitForTheCopy());
  ASSERT_TRUE(PumpUntil([&] { return Button("BitBtnConnect")->text() == "USB未连接"; }, 3000));
  EXPECT_EQ(testing::RowCount(List()), 0);
  EXPECT_EQ(Button("BitBtnUploadAll")->text(), "上传全部");
  EXPECT_EQ(testing::FileBytes(FileOf(0)), ExpectedFile(0));

  // The partial file is the header and whole chunks of the payload, as received.
  const Bytes partial = testing::FileBytes(FileOf(1));
  const Bytes full = ExpectedFile(1);
  ASSERT_LT(partial.size(), full.size());
  EXPECT_EQ((partial.size() - 19) % 256, 0u);
  EXPECT_TRUE(std::equal(partial.begin(), partial.end(), full.begin()));
  EXPECT_FALSE(messages_.Texts().empty());

  messages_.Clear();
  auto again = PlugInTheTelephone();
  ListAndChooseTheFolder();
  Button("BitBtnUploadAll")->click();
  ASSERT_TRUE(WaitForTheCopy());
  // The whole one is left as it is; the cut one is completed.
  EXPECT_EQ(messages_.Texts(),
            (std::vector<QString>{QStringLiteral("有 1 个录音已经复制过，只复制新的吗？"),
                                  "全部文件上传结束"}));
  for (std::uint16_t i = 0; i < kRecordings; ++i) EXPECT_EQ(testing::FileBytes(FileOf(i)), ExpectedFile(i)) << i;
}

TEST_F(CopyWithEmulatorTest, PullingTheCableDuringACopyAgainKeepsEveryEarlierFile) {
  auto first = PlugInTheTelephone();
  ListAndChooseTheFolder();
  Button("BitBtnUploadAll")->click();
  ASSERT_TRUE(WaitForTheCopy());
  first.reset();
  ASSERT_TRUE(PumpUntil([&] { return !Button("BitBtnRefersh")->isEnabled(); }, 3000));

  auto again = PlugInTheTelephone({"--latency", "2"});
  ListAndChooseTheFolder();
  messages_.AnswerQuestionsWith(false);  // every recording again, not only the new ones
  Button("BitBtnUploadAll")->click();
  ASSERT_TRUE(WaitUntilCopying(1));
  again->Signal(SIGKILL);
  again->Wait();
  ASSERT_TRUE(WaitForTheCopy());

  // What the first copy made is all still there, byte for byte; what the
  // interrupted one received lies beside it.
  for (std::uint16_t i = 0; i < kRecordings; ++i) EXPECT_EQ(testing::FileBytes(FileOf(i)), ExpectedFile(i)) << i;
  const Bytes part = testing::FileBytes(FileOf(1).string() + ".part");
  const Bytes full = ExpectedFile(1);
  ASSERT_GT(part.size(), 19u + 4096);
  ASSERT_LT(part.size(), full.size());
  EXPECT_TRUE(std::equal(part.begin(), part.end(), full.begin()));
}

}  // namespace
}  // namespace parlomax::app
