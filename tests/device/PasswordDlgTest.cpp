#include "device/PasswordUnit.h"

#include "QtPrinters.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace parlomax::device {
namespace {

TEST(PasswordDlg, OffersFourStarredCharactersPrefilled) {
  TPasswordDlg dialog;
  EXPECT_EQ(dialog.windowTitle(), "USB已成功连接－请输入四位密码");
  EXPECT_EQ(dialog.size(), QSize(309, 93));
  auto* password = dialog.findChild<QLineEdit*>("Password");
  ASSERT_NE(password, nullptr);
  EXPECT_EQ(password->text(), "9174");
  EXPECT_EQ(password->maxLength(), 4);
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  auto* ok = dialog.findChild<QPushButton*>("OKBtn");
  auto* cancel = dialog.findChild<QPushButton*>("CancelBtn");
  ASSERT_NE(ok, nullptr);
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(ok->text(), "OK");
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(cancel->text(), "Cancel");
  EXPECT_FALSE(dialog.isVisible());
}

TEST(PasswordDlg, EscapePressesCancelButTheTitleBarCloseDoesNot) {
  TPasswordDlg dialog;
  int cancelClicks = 0;
  QObject::connect(dialog.findChild<QPushButton*>("CancelBtn"), &QPushButton::clicked,
                   [&] { ++cancelClicks; });

  dialog.show();
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &escape);
  EXPECT_EQ(cancelClicks, 1);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(dialog.isVisible());

  dialog.show();
  dialog.close();
  EXPECT_EQ(cancelClicks, 1);
  EXPECT_FALSE(dialog.isVisible());
}

TEST(PasswordDlg, KeepsTheTypedTextBetweenShowings) {
  TPasswordDlg dialog;
  auto* password = dialog.findChild<QLineEdit*>("Password");
  dialog.show();
  password->setText(QStringLiteral("1234"));
  dialog.findChild<QPushButton*>("OKBtn")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  dialog.show();
  EXPECT_EQ(password->text(), "1234");
  dialog.hide();
}

}  // namespace
}  // namespace parlomax::device
