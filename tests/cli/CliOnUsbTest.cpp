// parlomax-cli with a telephone on an emulated USB bus, whichever chip it
// carries: the program runs as its own process and reaches the bus this
// test plays. Runs only inside umockdev-wrapper.
#include <umockdev.h>  // before Qt: see UsbTelephone.cpp

#include "FileBytes.h"
#include "ProgramRun.h"
#include "RecordingBytes.h"
#include "TempFolder.h"
#include "TestTelephone.h"
#include "UsbTelephone.h"
#include "catalogue/RecordingTexts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>

namespace parlomax {
namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class CliOnUsbTest : public ::testing::TestWithParam<testing::UsbChip> {
 protected:
  void SetUp() override {
    if (!testing::InsideUmockdev()) GTEST_SKIP() << "not running inside umockdev-wrapper";
    std::vector<phone::Recording> recordings;
    for (unsigned i = 0; i < 5; ++i) recordings.push_back(testing::MakeRecording(300 + 500 * i, i));
    model_ = testing::MakeTelephone(recordings, {9, 1, 7, 4});
    telephone_.emplace(model_, GetParam());
  }
  // The program sees the bus through the same preload; no emulator runs in
  // its runtime folder.
  testing::ProgramResult Cli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), PARLOMAX_CLI_PROGRAM);
    return testing::RunProgram(arguments, {"PARLOMAX_PIN=9174", "XDG_RUNTIME_DIR=" + runtime_.Path().string()});
  }

  std::shared_ptr<phone::TelephoneModel> model_;
  std::optional<testing::UsbTelephone> telephone_;
  testing::TempFolder runtime_, saved_;
};

TEST_P(CliOnUsbTest, ListsAndCopiesEveryRecording) {
  const auto list = Cli({"list"});
  ASSERT_EQ(list.status, 0) << list.err;
  for (std::uint16_t i = 0; i < 5; ++i) {
    EXPECT_TRUE(Contains(list.out, catalogue::RecordingFileName(model_->Header(i), i + 1u).toStdString())) << list.out;
  }
  const auto copy = Cli({"copy", saved_.Path().string(), "--quiet"});
  ASSERT_EQ(copy.status, 0) << copy.err;
  for (std::uint16_t i = 0; i < 5; ++i) {
    const auto file = saved_ / catalogue::RecordingFileName(model_->Header(i), i + 1u).toStdString();
    EXPECT_EQ(testing::FileBytes(file), testing::RecordingBytes(*model_, i)) << i;
  }
  EXPECT_FALSE(telephone_->IsOpen()) << "the program closes the telephone as it ends";
}

TEST_P(CliOnUsbTest, TheDoctorSaysWhichChipAnsweredAndHowTheTelephoneOpened) {
  const auto doctor = Cli({"doctor"});
  EXPECT_EQ(doctor.status, 0) << doctor.out << "\n" << doctor.err;
  const bool firmware = GetParam().kind == testing::UsbChip::Kind::Firmware;
  EXPECT_TRUE(Contains(doctor.out, "USB 电话 1：10c4:ea61")) << doctor.out;
  EXPECT_TRUE(Contains(doctor.out, "权限：当前用户可以打开")) << doctor.out;
  if (GetParam().stallsPartNumber) {
    EXPECT_TRUE(Contains(doctor.out, "认不出是哪一种（型号请求：STALL")) << doctor.out;
    EXPECT_TRUE(Contains(doctor.out, "：STALL（不认识这个请求）")) << doctor.out;
  } else {
    EXPECT_TRUE(Contains(doctor.out, firmware ? "单片机（直接访问固件）（型号请求回答 0x80）"
                                              : "USB 转串口桥（直接访问模式）（型号请求回答 0x02）"))
        << doctor.out;
  }
  EXPECT_TRUE(Contains(doctor.out, firmware ? "打开请求 40 02 0002：接受" : "打开请求 41 00 0001：接受")) << doctor.out;
  EXPECT_TRUE(Contains(doctor.out, "应答：电话回答了密码请求（密码不显示）")) << doctor.out;
  EXPECT_FALSE(Contains(doctor.out, "9174")) << "the PIN is never shown";
  EXPECT_TRUE(Contains(doctor.out, "结论：有电话可以使用。")) << doctor.out;
}

// Whichever chip, a telephone another program holds is named so: the fix is
// to close that program, not to change permissions.
class CliOnHeldUsbTest : public CliOnUsbTest {};

TEST_P(CliOnHeldUsbTest, TheDoctorSaysAnotherProgramHoldsTheTelephone) {
  telephone_->HoldElsewhere();
  const auto doctor = Cli({"doctor"});
  EXPECT_NE(doctor.status, 0) << doctor.out;
  EXPECT_TRUE(Contains(doctor.out, "另一个程序正在使用它")) << doctor.out;
  EXPECT_FALSE(Contains(doctor.out, "没有权限")) << doctor.out;
  EXPECT_TRUE(Contains(doctor.out, "结论：电话连着，但不能使用")) << doctor.out;
  const auto list = Cli({"list"});
  EXPECT_NE(list.status, 0) << list.out;
}

INSTANTIATE_TEST_SUITE_P(OneKind, CliOnHeldUsbTest, ::testing::Values(testing::UsbChip{}),
                         testing::UsbChipName<::testing::TestParamInfo<testing::UsbChip>>);

INSTANTIATE_TEST_SUITE_P(EachKind, CliOnUsbTest, ::testing::ValuesIn(testing::kEveryUsbChip),
                         testing::UsbChipName<::testing::TestParamInfo<testing::UsbChip>>);

}  // namespace
}  // namespace parlomax
