// The copy made when a telephone is plugged in, run as its user unit runs it:
// the unit's own command line with %I expanded to the telephone's sysfs path
// on an emulated USB bus, the PIN handed over as a credential, and a
// stand-in notification server on a private session bus recording what the
// desktop would show. Runs only inside umockdev-wrapper.
#include <umockdev.h>  // before Qt: see UsbTelephone.cpp

#include "FileBytes.h"
#include "ProgramRun.h"
#include "RecordingBytes.h"
#include "TempFolder.h"
#include "TestTelephone.h"
#include "UsbTelephone.h"
#include "catalogue/RecordingTexts.h"
#include "transfer/FolderLock.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

namespace parlomax {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSysfsPath = "/sys/devices/usb1/1-1";  // where UsbTelephone puts it

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::vector<std::string> Lines(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class AutocopyOnUsbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::InsideUmockdev()) GTEST_SKIP() << "not running inside umockdev-wrapper";
    std::vector<phone::Recording> recordings;
    for (unsigned i = 0; i < 5; ++i) recordings.push_back(testing::MakeRecording(300 + 500 * i, i));
    model_ = testing::MakeTelephone(recordings, {9, 1, 7, 4});
    telephone_.emplace(model_);
    Credential("9174\n");
  }

  void Credential(const std::string& pin) {
    const auto file = credentials_ / "pin";
    fs::remove(file);
    std::ofstream(file) << pin;
    fs::permissions(file, fs::perms::owner_read);
  }

  std::vector<std::string> Environment() const {
    return {"HOME=" + home_.Path().string(), "XDG_RUNTIME_DIR=" + runtime_.Path().string(),
            "CREDENTIALS_DIRECTORY=" + credentials_.Path().string(), "PARLOMAX_PIN="};
  }

  testing::ProgramResult Cli(std::vector<std::string> arguments, std::vector<std::string> environment = {}) {
    arguments.insert(arguments.begin(), PARLOMAX_CLI_PROGRAM);
    for (const auto& e : Environment()) environment.push_back(e);
    return testing::RunProgram(arguments, environment);
  }

  // The unit's ExecStart= as systemd would run it for this telephone: the
  // instance is the escaped sysfs path, %I that instance unescaped.
  std::vector<std::string> UnitCommand() {
    const auto instance = testing::RunProgram({"/usr/bin/systemd-escape", "--path", kSysfsPath}, {});
    const auto unescaped = testing::RunProgram({"/usr/bin/systemd-escape", "--unescape", Trimmed(instance.out)}, {});
    std::ifstream unit(fs::path(PARLOMAX_SOURCE_DIR) / "packaging/systemd/parlomax-autocopy@.service");
    std::string line;
    while (std::getline(unit, line) && !line.starts_with("ExecStart=")) {
    }
    std::string command = line.substr(std::strlen("ExecStart="));
    command.replace(command.find("%I"), 2, Trimmed(unescaped.out));
    std::istringstream words(command);
    std::vector<std::string> argv;
    for (std::string word; words >> word;) argv.push_back(argv.empty() && word == "parlomax-cli" ? PARLOMAX_CLI_PROGRAM : word);
    return argv;
  }

  // The unit's command on a session bus of its own, beside the stand-in
  // notification server.
  testing::ProgramResult Service() {
    std::vector<std::string> argv{"/usr/bin/dbus-run-session", "--", PARLOMAX_NOTIFICATION_RECORDER, notices_.string(), "--"};
    for (const auto& word : UnitCommand()) argv.push_back(word);
    return testing::RunProgram(argv, Environment());
  }

  fs::path Recording(std::uint16_t i) const {
    return saved_ / catalogue::RecordingFileName(model_->Header(i), i + 1u).toStdString();
  }

  std::shared_ptr<phone::TelephoneModel> model_;
  std::optional<testing::UsbTelephone> telephone_;
  testing::TempFolder home_, runtime_, credentials_, saved_, printed_;
  const fs::path notices_ = printed_ / "notices";
};

TEST_F(AutocopyOnUsbTest, TheFirstPlugInCopiesAndTellsTheDesktopTheNextFindsNothingNewAndSaysNothing) {
  const auto off = Service();
  EXPECT_EQ(off.status, 0) << off.err;
  EXPECT_FALSE(fs::exists(Recording(0))) << "nothing happens for a user who did not turn it on";

  const auto on = Cli({"autocopy", "on", saved_.Path().string()});
  ASSERT_EQ(on.status, 0) << on.err;
  EXPECT_TRUE(Contains(on.out, "已打开自动复制")) << on.out;
  EXPECT_EQ(testing::ModeOf(home_ / ".config/parlomax/autocopy") & 0777, 0600u);
  EXPECT_TRUE(Contains(Cli({"autocopy", "status"}).out, "自动复制：已打开，新的录音复制到 " + saved_.Path().string()));

  const auto first = Service();
  ASSERT_EQ(first.status, 0) << first.out << first.err;
  for (std::uint16_t i = 0; i < 5; ++i) EXPECT_EQ(testing::FileBytes(Recording(i)), testing::RecordingBytes(*model_, i)) << i;
  const auto shown = Lines(notices_);
  ASSERT_EQ(shown.size(), 1u) << first.err;
  EXPECT_TRUE(Contains(shown[0], "复制了 5 个新录音\t保存在 " + saved_.Path().string() + "\tdefault,打开文件夹"))
      << shown[0];
  EXPECT_FALSE(telephone_->IsOpen());

  const auto second = Service();
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(Lines(notices_).size(), 1u) << "nothing new: no notice";

  EXPECT_TRUE(Contains(Cli({"autocopy", "off"}).out, "已关闭自动复制"));
  EXPECT_FALSE(fs::exists(home_ / ".config/parlomax/autocopy"));
}

TEST_F(AutocopyOnUsbTest, AWrongPinIsToldOnTheDesktopWithWhatToDo) {
  ASSERT_EQ(Cli({"autocopy", "on", saved_.Path().string()}).status, 0);
  Credential("1111\n");
  const auto run = Service();
  EXPECT_EQ(run.status, 3) << run.err;
  const auto shown = Lines(notices_);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(Contains(shown[0], "没有复制录音：电话密码错误\t请在 Parlomax 窗口里用正确的密码登录并勾选“记住密码”"))
      << shown[0];
}

TEST_F(AutocopyOnUsbTest, ACopyIntoAFolderAnotherCopyHoldsIsRefusedAtOnceAndSaysWho) {
  std::optional<transfer::FolderLock> held = transfer::FolderLock::TryLock(saved_.Path());
  ASSERT_TRUE(held->IsHeld());
  const std::vector<std::string> copy{"copy", saved_.Path().string(), "--new", "--usb", kSysfsPath};
  const auto refused = Cli(copy, {"PARLOMAX_PIN=9174"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err, "（进程 " + std::to_string(::getpid()) + "）正在向 " + saved_.Path().string() + " 复制"))
      << refused.err;
  EXPECT_FALSE(fs::exists(Recording(0)));

  held.reset();
  const auto copied = Cli(copy, {"PARLOMAX_PIN=9174"});
  EXPECT_EQ(copied.status, 0) << copied.err;
  EXPECT_EQ(testing::FileBytes(Recording(4)), testing::RecordingBytes(*model_, 4));
  const auto nowhere = Cli({"list", "--usb", "2-1"}, {"PARLOMAX_PIN=9174"});
  EXPECT_EQ(nowhere.status, 2);
  EXPECT_TRUE(Contains(nowhere.err, "USB 位置 2-1 上没有电话")) << nowhere.err;
}

}  // namespace
}  // namespace parlomax
