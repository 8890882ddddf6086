// parlomax-screenshots OUTPUT-FOLDER PARLOMAX-PHONE RECORDINGS-FOLDER: the program as a person sees
// it, on a display with a window manager (scripts/screenshots starts one), at the scale
// QT_SCALE_FACTOR gives. It plugs in an emulated telephone, logs in, lists, copies, opens the PC
// tab, and takes the whole screen at each step:
//   empty-list.png  pin-dialog.png  device-tab.png  copy-done.png  device-tab-copied.png
//   only-new-question.png  message-box.png  pc-tab.png  pc-tab-playing.png  context-menu.png
// For the README and the AppStream description, and for checking that every
// text fits its control at a desktop's larger scales.
#include "app/MainUnit.h"
#include "app/ParlomaxApplication.h"
#include "app/PlaybackController.h"
#include "device/PasswordUnit.h"
#include "platform/shell/FolderChooser.h"
#include "platform/shell/PrivateWorkingDirectory.h"
#include "platform/shell/QtFolderBrowser.h"
#include "platform/shell/QtMessageService.h"
#include "platform/sound/AudioOutput.h"
#include "platform/spreadsheet/SpreadsheetServer.h"
#include "platform/usb/EmulatorDeviceLibrary.h"
#include "platform/usb/EmulatorFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QTreeView>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace parlomax;

namespace {

// The folder dialog, answered with one folder.
class AnsweringChooser final : public shell::FolderChooser {
 public:
  QString answer;
  std::optional<QString> ChooseFolder(const QString&, const QString&) override { return answer; }
};

// Sound that goes nowhere, taken at the pace a sound card takes it, so the
// player's times move as they do for a listener.
class NullOutputs final : public sound::AudioOutputFactory {
 public:
  sound::OpenedOutput Open(const std::string&) override { return {std::make_unique<Paced>(), {}}; }

 private:
  class Paced final : public sound::AudioOutput {
   public:
    bool Tick(double) override {
      if (ticks_++ == 0) start_ = std::chrono::steady_clock::now();
      if (ticks_ % 80 == 0)
        std::this_thread::sleep_until(start_ + std::chrono::microseconds(ticks_ * 125));
      return true;
    }

   private:
    std::uint64_t ticks_ = 0;
    std::chrono::steady_clock::time_point start_;
  };
};

void Wait(int ms, const std::function<bool()>& until = [] { return false; }) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms && !until()) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(5);
  }
}

void SelectRows(QTreeView* list, std::initializer_list<int> rows) {
  list->clearSelection();
  for (const int row : rows)
    list->selectionModel()->select(list->model()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void Shoot(const std::filesystem::path& folder, const char* name) {
  Wait(400);  // let the window manager draw
  const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
  // Only what the windows cover, not the empty rest of the display.
  QRect used;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible()) used |= w->frameGeometry();
  }
  const qreal scale = screen.devicePixelRatio();
  const QRect physical(used.topLeft() * scale, used.size() * scale);
  const QString file = QString::fromStdString((folder / name).string());
  if (!screen.copy(physical.adjusted(-4, -4, 4, 4)).save(file)) std::fprintf(stderr, "cannot save %s\n", name);
}

QMessageBox* OpenBox() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: parlomax-screenshots OUTPUT-FOLDER PARLOMAX-PHONE RECORDINGS-FOLDER\n");
    return 2;
  }
  const std::filesystem::path output = std::filesystem::absolute(argv[1]);
  std::filesystem::create_directories(output);
  // Taken before the working folder becomes the program's own.
  std::string phoneProgram = std::filesystem::absolute(argv[2]).string();
  app::ParlomaxApplication application(argc, argv);
  shell::PrivateWorkingDirectory work;
  const std::filesystem::path copies = std::filesystem::absolute(argv[3]);
  std::filesystem::remove_all(copies);
  std::filesystem::create_directories(copies);
  usb::EmulatorDeviceLibrary devices(usb::DefaultEmulatorFolder());
  shell::QtMessageService messages;
  AnsweringChooser folders;
  folders.answer = QString::fromStdString(copies.string());
  spreadsheet::BuiltInAutomation automation;
  NullOutputs sound;
  shell::QtFolderBrowser browser;
  app::TMainForm form(app::Platform{devices, messages, folders, automation, sound, browser, "speex"});
  device::TPasswordDlg dialog(form.Link(), messages, form);
  form.SetPasswordDialog(&dialog);
  form.move(40, 40);
  form.show();
  // No telephone yet: the empty list says what to do.
  Wait(1000);
  Shoot(output, "empty-list.png");

  // A telephone in the emulator's folder of this session.
  pid_t phone = 0;
  char* phoneArgs[] = {phoneProgram.data(), nullptr};
  if (posix_spawn(&phone, phoneProgram.c_str(), nullptr, nullptr, phoneArgs, environ) != 0)
    return 1;
  Wait(5000, [&] { return form.findChild<QPushButton*>("BitBtnRefersh")->isEnabled(); });

  // The PIN dialog, shot while it is open, then answered.
  QTimer::singleShot(800, [&] {
    Shoot(output, "pin-dialog.png");
    dialog.findChild<QPushButton*>("OKBtn")->click();
  });
  form.findChild<QPushButton*>("BitBtnRefersh")->click();
  Wait(1000);
  auto* deviceList = form.findChild<QTreeView*>("ListViewMCU");
  SelectRows(deviceList, {1});
  Shoot(output, "device-tab.png");

  // Two recordings copied: the list greys them.
  form.findChild<QPushButton*>("BitBtnSave")->click();
  SelectRows(deviceList, {0, 1});
  form.findChild<QPushButton*>("BitBtnUpload")->click();
  Wait(60000, [] { return OpenBox() != nullptr; });
  Shoot(output, "copy-done.png");
  if (QMessageBox* box = OpenBox()) box->button(QMessageBox::Ok)->click();
  deviceList->clearSelection();
  Wait(1000);
  Shoot(output, "device-tab-copied.png");

  // Copying all asks about those two, then ends with its message.
  form.findChild<QPushButton*>("BitBtnUploadAll")->click();
  Wait(10000, [] { return OpenBox() != nullptr; });
  Shoot(output, "only-new-question.png");
  if (QMessageBox* box = OpenBox()) box->button(QMessageBox::Yes)->click();
  Wait(500);
  Wait(60000, [] { return OpenBox() != nullptr; });
  Shoot(output, "message-box.png");
  if (QMessageBox* box = OpenBox()) box->button(QMessageBox::Ok)->click();
  Wait(1000);

  auto* pages = form.findChild<QTabWidget*>("PageControl1");
  pages->setCurrentIndex(1);
  form.findChild<QPushButton*>("BitBtn3")->click();
  Wait(500);
  SelectRows(form.findChild<QTreeView*>("ListViewFile"), {0});
  Shoot(output, "pc-tab.png");

  // Playing at 1.5 times the recorded speed, with the bar's speed menu open.
  form.Playback().SetSpeed(1.5f);
  form.findChild<QPushButton*>("BitBtnPlayStart")->click();
  Wait(4500);
  auto* bar = form.findChild<QSlider*>("TrackBar1");
  QMenu speeds;
  speeds.addActions(bar->actions());
  QTimer::singleShot(600, [&] {
    Shoot(output, "pc-tab-playing.png");
    speeds.close();
  });
  speeds.exec(bar->mapToGlobal(QPoint(bar->width() * 2 / 3, bar->height())));
  form.findChild<QPushButton*>("BitBtnPlayStop")->click();
  // A right-click on the selected rows: the menu that saves them to hand on.
  auto* files = form.findChild<QTreeView*>("ListViewFile");
  SelectRows(files, {0, 1});
  QMenu* menu = form.Share().PopUpMenu(files->visualRect(files->model()->index(1, 1)).center());
  Shoot(output, "context-menu.png");
  if (menu != nullptr) menu->close();

  messages.Shutdown();
  ::kill(phone, SIGTERM);
  ::waitpid(phone, nullptr, 0);
  return 0;
}
