// The whole program against the emulator program: plugging in, logging in,
// listing, and pulling the cable out, with the real timers ticking.
#include "ListRows.h"
#include "QtPrinters.h"
#include "WindowWithEmulator.h"
#include "catalogue/DeviceList.h"
#include "phone/Content.h"

namespace parlomax::app {
namespace {

using testing::PumpUntil;

// One tick of the watch, and room for a loaded machine.
constexpr int kWithinATickMs = 800 + 700;

class DeviceTabWithEmulatorTest : public testing::WindowWithEmulator {};

TEST_F(DeviceTabWithEmulatorTest, PlugLogInListAndUnplug) {
  auto phone = PlugIn({"--generate", "40", "--seed", "5", "--pin", "2468"});
  ASSERT_TRUE(PumpUntil([&] { return Button("BitBtnConnect")->text() == "USB已连接"; }, 3000));
  EXPECT_TRUE(Button("BitBtnRefersh")->isEnabled());
  EXPECT_FALSE(Button("BitBtnUploadAll")->isEnabled());
  EXPECT_FALSE(List()->isEnabled());

  LogInAndList(QStringLiteral("2468"));
  ASSERT_TRUE(form_.Link().LoggedIn());
  const phone::TelephoneModel expected({2, 4, 6, 8}, phone::GenerateRecordings(40, 5));
  ASSERT_EQ(testing::RowCount(List()), 40);
  for (int i = 0; i < 40; ++i) {
    const auto row = catalogue::MakeDeviceListRow(static_cast<std::uint16_t>(i), expected.Header(i));
    const QStringList texts{row.caption, row.fileName, row.texts.telephoneNumber, row.texts.time,
                            row.texts.type, row.texts.size, row.texts.duration};
    for (int c = 0; c < 7; ++c)
      EXPECT_EQ(testing::CellText(List(), i, c), texts[c]) << i << "/" << c;
  }
  EXPECT_TRUE(messages_.Messages().empty());

  phone->Signal(SIGTERM);
  phone->Wait();
  ASSERT_TRUE(PumpUntil([&] { return Button("BitBtnConnect")->text() == "USB未连接"; }, kWithinATickMs));
  EXPECT_EQ(testing::RowCount(List()), 0);
  EXPECT_FALSE(Button("BitBtnRefersh")->isEnabled());
  EXPECT_FALSE(form_.Link().LoggedIn());

  // A telephone plugged in again is opened anew by the next request.
  auto again = PlugIn({"--generate", "3", "--pin", "2468"});
  ASSERT_TRUE(WaitUntilAttached());
  LogInAndList(QStringLiteral("2468"));
  EXPECT_EQ(testing::RowCount(List()), 3);
}

TEST_F(DeviceTabWithEmulatorTest, ATelephoneThatVanishesMidListCostsOneMessage) {
  // The count, the PIN and 20 headers, then the cable comes out.
  auto phone = PlugIn({"--generate", "300", "--vanish-after", "22"});
  ASSERT_TRUE(WaitUntilAttached());
  LogInAndList(QStringLiteral("9174"));
  EXPECT_EQ(messages_.Messages().size(), 1u);
  EXPECT_LE(testing::RowCount(List()), 20);
}

}  // namespace
}  // namespace parlomax::app
