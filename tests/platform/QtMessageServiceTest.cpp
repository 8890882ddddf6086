#include "platform/shell/QtMessageService.h"

#include "PumpEvents.h"
#include "QtPrinters.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace parlomax::shell {
namespace {

using testing::LetEventsRunFor;
using testing::PumpUntil;

QMessageBox* OpenBox() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
  }
  return nullptr;
}

// A worker thread that asks a question and records the answer.
struct Asker {
  std::atomic<bool> done{false};
  std::atomic<bool> answer{false};
  std::thread thread;

  void Ask(QtMessageService& service) {
    thread = std::thread([this, &service] {
      answer = service.AskOkCancel(QStringLiteral("文件已经存在,是否删除?"));
      done = true;
    });
  }
  ~Asker() {
    if (thread.joinable()) thread.join();
  }
};

TEST(QtMessageService, AWorkersWarningOpensAModelessBoxAndWaitsForTheUser) {
  QtMessageService service;
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    service.Warn(QStringLiteral("全部文件上传结束"));
    returned = true;
  });
  ASSERT_TRUE(PumpUntil([] { return OpenBox() != nullptr; }));
  QMessageBox* box = OpenBox();
  EXPECT_EQ(box->windowTitle(), "Waring");
  EXPECT_EQ(box->text(), "全部文件上传结束");
  EXPECT_EQ(box->icon(), QMessageBox::Warning);
  EXPECT_EQ(box->parentWidget(), nullptr);
  EXPECT_EQ(box->windowModality(), Qt::NonModal);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // the window stays usable
  // The worker is still waiting for the user.
  LetEventsRunFor(50);
  EXPECT_FALSE(returned);
  box->button(QMessageBox::Ok)->click();
  EXPECT_TRUE(PumpUntil([&] { return returned.load(); }));
  worker.join();
}

TEST(QtMessageService, AWorkersQuestionReturnsTheButtonChosen) {
  QtMessageService service;
  for (const bool chooseOk : {true, false}) {
    Asker asker;
    asker.Ask(service);
    ASSERT_TRUE(PumpUntil([] { return OpenBox() != nullptr; }));
    QMessageBox* box = OpenBox();
    EXPECT_EQ(box->windowTitle(), "Warning");
    box->button(chooseOk ? QMessageBox::Ok : QMessageBox::Cancel)->click();
    ASSERT_TRUE(PumpUntil([&] { return asker.done.load(); }));
    EXPECT_EQ(asker.answer, chooseOk);
  }
}

TEST(QtMessageService, ShutdownReleasesWaitingWorkersAndClosesTheirBoxes) {
  QtMessageService service;
  Asker asker;
  asker.Ask(service);
  ASSERT_TRUE(PumpUntil([] { return OpenBox() != nullptr; }));
  service.Shutdown();
  ASSERT_TRUE(PumpUntil([&] { return asker.done.load(); }));
  EXPECT_FALSE(asker.answer);
  EXPECT_TRUE(PumpUntil([] { return OpenBox() == nullptr; }));
  // After shut-down a worker no longer waits at all.
  Asker late;
  late.Ask(service);
  EXPECT_TRUE(PumpUntil([&] { return late.done.load(); }));
}

TEST(QtMessageService, OnTheWindowsThreadTheBoxIsModalAndBlocksUntilClosed) {
  QtMessageService service;
  QString seenCaption;
  Qt::WindowModality seenModality = Qt::NonModal;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seenCaption = box->windowTitle();
    seenModality = box->windowModality();
    box->button(QMessageBox::Ok)->click();
  });
  service.Show(QStringLiteral("导出 Excel "), QStringLiteral("导出 Excel 结束！"),
               MessageIcon::Information);
  EXPECT_EQ(seenCaption, "导出 Excel ");
  EXPECT_EQ(seenModality, Qt::ApplicationModal);
}

// Stands in for the file manager: takes the file: addresses the program opens.
class FileManager : public QObject {
  Q_OBJECT

 public:
  FileManager() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
  ~FileManager() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
  std::vector<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened.push_back(url); }
};

QAbstractButton* ButtonCaptioned(QMessageBox* box, const QString& caption) {
  for (QAbstractButton* b : box->buttons()) {
    if (b->text() == caption) return b;
  }
  return nullptr;
}

// The box says where the work went; its button opens that folder and closes
// the box, and the worker learns which button it was.
TEST(QtMessageService, AClosingMessageSaysWhereItWroteAndItsButtonOpensTheFolder) {
  const QString folder = QStringLiteral("/srv/通话录音");
  for (const bool open : {false, true}) {
    FileManager files;
    QtMessageService service;
    std::atomic<bool> done{false}, opened{false};
    std::thread worker([&] {
      opened = service.WarnWithFolder(QStringLiteral("全部文件上传结束"), folder);
      done = true;
    });
    ASSERT_TRUE(PumpUntil([] { return OpenBox() != nullptr; }));
    QMessageBox* box = OpenBox();
    EXPECT_EQ(box->text(), "全部文件上传结束\n/srv/通话录音");
    EXPECT_EQ(box->windowTitle(), "Waring");
    QAbstractButton* openButton = ButtonCaptioned(box, QStringLiteral("打开文件夹"));
    ASSERT_NE(openButton, nullptr);
    (open ? openButton : box->button(QMessageBox::Ok))->click();
    ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(opened, open);
    EXPECT_EQ(files.opened,
              open ? std::vector<QUrl>{QUrl::fromLocalFile(folder)} : std::vector<QUrl>{});
  }
}

}  // namespace
}  // namespace parlomax::shell

#include "QtMessageServiceTest.moc"
