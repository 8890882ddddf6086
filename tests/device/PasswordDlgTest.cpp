#include "device/PasswordUnit.h"

#include "QtPrinters.h"
#include "RecordingMessageService.h"
#include "TestTelephone.h"
#include "device/PinCheck.h"
#include "device/PinLogin.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace parlomax::device {
namespace {

using phone::LibraryCall;

// Records what the dialog does to the telephone's tab.
struct TabRecorder final : DeviceTabLock {
  std::vector<std::string> calls;
  void UnlockDeviceTab() override { calls.push_back("unlock"); }
  void LockDeviceTab(bool emptyList) override { calls.push_back(emptyList ? "lock+empty" : "lock"); }
};

class PasswordDlgTest : public ::testing::Test {
 protected:
  PasswordDlgTest()
      : library_(testing::MakeTelephone({testing::MakeRecording(10)}, {0, 9, 1, 7})),
        link_(library_, messages_),
        dialog_(link_, messages_, tab_) {
    link_.OpenFirstDevice();
    library_.ClearCalls();
  }

  QLineEdit* Password() { return dialog_.findChild<QLineEdit*>("Password"); }
  QPushButton* Button(const char* name) { return dialog_.findChild<QPushButton*>(name); }
  // A login made earlier, the way the dialog makes one; its calls are left
  // out of the calls the test looks at.
  void LogInEarlier() {
    ASSERT_EQ(LogIn(link_, QStringLiteral("0917"), {}), LoginOutcome::Accepted);
    library_.ClearCalls();
  }
  // Types `text` and presses OK, as the user does in the shown dialog.
  void EnterPin(const QString& text) {
    dialog_.show();
    Password()->setText(text);
    Button("OKBtn")->click();
  }

  testing::RecordingMessageService messages_;
  phone::InProcessDeviceLibrary library_;
  DeviceLink link_;
  TabRecorder tab_;
  TPasswordDlg dialog_;
};

TEST_F(PasswordDlgTest, OffersFourStarredCharactersPrefilled) {
  EXPECT_EQ(dialog_.windowTitle(), "USB已成功连接－请输入四位密码");
  EXPECT_EQ(dialog_.size(), QSize(309, 93));
  EXPECT_EQ(Password()->text(), "9174");
  EXPECT_EQ(Password()->maxLength(), 4);
  EXPECT_EQ(Password()->echoMode(), QLineEdit::Password);
  EXPECT_EQ(Button("OKBtn")->text(), "OK");
  EXPECT_TRUE(Button("OKBtn")->isDefault());
  EXPECT_EQ(Button("CancelBtn")->text(), "Cancel");
  EXPECT_FALSE(dialog_.isVisible());
}

TEST_F(PasswordDlgTest, TheRightPinUnlocksAfterAFlushAndAReadPin) {
  EnterPin(QStringLiteral("0917"));
  EXPECT_TRUE(link_.LoggedIn());
  EXPECT_EQ(tab_.calls, std::vector<std::string>{"unlock"});
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog_.isVisible());
  const auto calls = library_.CallsBesidesCount();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].op, LibraryCall::Op::Flush);
  EXPECT_EQ(calls[1].bytes[0], 4);
  EXPECT_EQ(calls[2].op, LibraryCall::Op::Read);
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(PasswordDlgTest, AWrongPinIsRefusedAndLocksWithoutEmptyingTheList) {
  LogInEarlier();  // a refusal ends an earlier login
  EnterPin(QStringLiteral("9174"));
  EXPECT_FALSE(link_.LoggedIn());
  EXPECT_EQ(tab_.calls, std::vector<std::string>{"lock"});
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"密码错误，无法登录"});
  EXPECT_EQ(messages_.Messages()[0].caption, "Waring");
}

TEST_F(PasswordDlgTest, TheTypedTextIsANumberButMustBeFourCharactersLong) {
  EnterPin(QStringLiteral(" 917"));  // a leading blank: the number is 917, the text four long
  EXPECT_TRUE(link_.LoggedIn());
  EnterPin(QStringLiteral("917"));   // the same number, but three characters
  EXPECT_FALSE(link_.LoggedIn());
  EnterPin(QStringLiteral("917x"));  // digits up to the first non-digit
  EXPECT_TRUE(link_.LoggedIn());
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"密码错误，无法登录"});
}

TEST_F(PasswordDlgTest, AFailedExchangeClosesTheDialogAndLeavesTheLoginAsItWas) {
  LogInEarlier();
  library_.FailNextWrite();
  EnterPin(QStringLiteral("1111"));
  library_.FailNextRead();
  EnterPin(QStringLiteral("1111"));
  EXPECT_TRUE(link_.LoggedIn());
  EXPECT_TRUE(tab_.calls.empty());
  EXPECT_EQ(messages_.Texts(), (std::vector<QString>{"USB写命令错误", "USB读数据错误"}));
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
}

TEST_F(PasswordDlgTest, AShortPinReplyIsAFailedReadNotAWrongPin) {
  // Two bytes of 0 9 1 7 would read as the PIN 0900, and 0900 as refused.
  for (const bool loggedIn : {true, false}) {
    messages_.Clear();
    if (loggedIn) {
      LogInEarlier();
    } else {
      link_.LogOut();
    }
    library_.ShortenNextReply(2);
    EnterPin(QStringLiteral("0917"));
    EXPECT_EQ(link_.LoggedIn(), loggedIn);
    EXPECT_TRUE(tab_.calls.empty());
    EXPECT_EQ(messages_.Texts(), std::vector<QString>{"USB读数据错误"});
    EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  }
}

TEST_F(PasswordDlgTest, CancelAndEscapeLogOutAndEmptyTheListButTheTitleBarDoesNeither) {
  LogInEarlier();
  dialog_.show();
  Button("CancelBtn")->click();
  EXPECT_FALSE(link_.LoggedIn());
  EXPECT_EQ(dialog_.result(), QDialog::Rejected);
  EXPECT_TRUE(library_.CallsBesidesCount().empty());

  LogInEarlier();
  dialog_.show();
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&dialog_, &escape);
  EXPECT_FALSE(link_.LoggedIn());
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_TRUE(library_.CallsBesidesCount().empty());

  LogInEarlier();
  dialog_.show();
  dialog_.close();
  EXPECT_TRUE(link_.LoggedIn());
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_EQ(tab_.calls, (std::vector<std::string>{"lock+empty", "lock+empty"}));
  EXPECT_TRUE(library_.CallsBesidesCount().empty());
}

TEST_F(PasswordDlgTest, KeepsTheTypedTextBetweenShowings) {
  EnterPin(QStringLiteral("1234"));
  dialog_.show();
  EXPECT_EQ(Password()->text(), "1234");
  dialog_.hide();
}

TEST_F(PasswordDlgTest, RemembersOnlyAPinTheTelephoneAcceptedAndOnlyWhenAsked) {
  EXPECT_TRUE(dialog_.findChild<QCheckBox*>("CheckRememberPin")->isHidden()) << "nowhere to keep it";
  std::vector<QString> remembered;
  dialog_.SetRememberPin([&remembered](const QString& pin) { remembered.push_back(pin); });
  QCheckBox* remember = dialog_.findChild<QCheckBox*>("CheckRememberPin");
  ASSERT_FALSE(remember->isHidden());
  EXPECT_EQ(remember->text(), "记住密码");
  EXPECT_FALSE(remember->isChecked());
  const struct {
    bool ticked;
    QString typed;
    std::vector<QString> remembered;  // so far
  } steps[] = {{false, QStringLiteral("0917"), {}},
               {true, QStringLiteral("1111"), {}},  // refused
               {true, QStringLiteral(" 917"), {QStringLiteral("0917")}}};
  for (const auto& step : steps) {
    remember->setChecked(step.ticked);
    EnterPin(step.typed);
    EXPECT_EQ(remembered, step.remembered) << step.typed.toStdString();
  }
  EXPECT_EQ(dialog_.size(), QSize(309, 93));
}

TEST(PinCheck, ReadsTheTextAsCReadsANumber) {
  EXPECT_EQ(PinDigitsOfText(QStringLiteral("9174")), (PinDigits{9, 1, 7, 4}));
  EXPECT_EQ(PinDigitsOfText(QStringLiteral("  42")), (PinDigits{0, 0, 4, 2}));
  EXPECT_EQ(PinDigitsOfText(QStringLiteral("12ab")), (PinDigits{0, 0, 1, 2}));
  EXPECT_EQ(PinDigitsOfText(QStringLiteral("+123")), (PinDigits{0, 1, 2, 3}));
  EXPECT_EQ(PinDigitsOfText(QStringLiteral("abcd")), (PinDigits{0, 0, 0, 0}));
  EXPECT_EQ(PinDigitsOfText(QString()), (PinDigits{0, 0, 0, 0}));
  // A negative number's digits are negative, so no telephone's PIN matches them.
  EXPECT_EQ(PinDigitsOfText(QStringLiteral("-123")), (PinDigits{0, 0xFF, 0xFE, 0xFD}));
}

TEST(PinCheck, CountsTheLengthOnTheRawText) {
  const PinDigits pin{0, 0, 1, 2};
  EXPECT_TRUE(PinMatches(QStringLiteral("0012"), pin, pin));
  EXPECT_TRUE(PinMatches(QStringLiteral("12  "), PinDigitsOfText(QStringLiteral("12  ")), pin));
  EXPECT_FALSE(PinMatches(QStringLiteral("12"), PinDigitsOfText(QStringLiteral("12")), pin));
  EXPECT_FALSE(PinMatches(QStringLiteral("0013"), PinDigitsOfText(QStringLiteral("0013")), pin));
}

}  // namespace
}  // namespace parlomax::device
