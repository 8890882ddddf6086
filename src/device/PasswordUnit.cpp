#include "device/PasswordUnit.h"

#include "device/PinCheck.h"
#include "device/PinLogin.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace parlomax::device {
namespace {
constexpr int kClientWidth = 309;
constexpr int kClientHeight = 93;
constexpr int kPinLength = 4;
}  // namespace

TPasswordDlg::TPasswordDlg(DeviceLink& link, shell::MessageService& messages,
                           DeviceTabLock& deviceTab, QWidget* parent)
    : QDialog(parent), link_(link), messages_(messages), deviceTab_(deviceTab) {
  setObjectName(QStringLiteral("PasswordDlg"));
  setWindowTitle(QStringLiteral("USB已成功连接－请输入四位密码"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(true);
  setFixedSize(kClientWidth, kClientHeight);

  Password = new QLineEdit(QStringLiteral("9174"), this);
  Password->setObjectName(QStringLiteral("Password"));
  Password->setMaxLength(kPinLength);
  Password->setEchoMode(QLineEdit::Password);
  // Every typed character is shown as a star, whatever the style's habit.
  Password->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));

  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  // Each button runs its handler, then closes the dialog with its result.
  connect(OKBtn, &QPushButton::clicked, this, &TPasswordDlg::OKBtnClick);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &TPasswordDlg::CancelBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  CheckRememberPin = new QCheckBox(QStringLiteral("记住密码"), this);
  CheckRememberPin->setObjectName(QStringLiteral("CheckRememberPin"));
  CheckRememberPin->setVisible(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(CheckRememberPin);
  buttons->addStretch();
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Password);
  layout->addLayout(buttons);

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void TPasswordDlg::SetRememberPin(std::function<void(const QString& pin)> remember) {
  rememberPin_ = std::move(remember);
  CheckRememberPin->setVisible(static_cast<bool>(rememberPin_));
}

void TPasswordDlg::AskForPin() {
  for (;;) {
    refused_ = false;
    if (exec() != QDialog::Accepted || !refused_) return;
    Password->clear();
  }
}

void TPasswordDlg::OKBtnClick() {
  refused_ = false;
  switch (LogIn(link_, Password->text(), [this] { messages_.Warn(kWrongPinMessage); })) {
    case LoginOutcome::Accepted:
      deviceTab_.UnlockDeviceTab();
      if (rememberPin_ && CheckRememberPin->isChecked()) {
        // The digits the telephone accepted, which " 917" typed stands for as "0917".
        const PinDigits digits = PinDigitsOfText(Password->text());
        QString pin;
        for (const auto digit : digits) pin += QChar(u'0' + digit);
        rememberPin_(pin);
      }
      break;
    case LoginOutcome::Refused:
      refused_ = true;
      deviceTab_.LockDeviceTab(false);
      break;
    case LoginOutcome::ExchangeFailed:  // reported already; the tab stays as it is
      break;
  }
}

void TPasswordDlg::CancelBtnClick() {
  link_.LogOut();
  deviceTab_.LockDeviceTab(true);
}

void TPasswordDlg::keyPressEvent(QKeyEvent* event) {
  // Esc is the Cancel button; closing by the title bar is something else and
  // is left to QDialog (it rejects without running the button's handler).
  if (event->key() == Qt::Key_Escape) {
    CancelBtn->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace parlomax::device
