// parlomax-screenshots OUTPUT-FOLDER PARLOMAX-PHONE RECORDINGS-FOLDER: the program as a person sees
// it, on a display with a window manager (scripts/screenshots starts one), at the scale
// QT_SCALE_FACTOR gives. It plugs in an emulated telephone, logs in, lists, copies, opens the PC
// tab, and takes the whole screen at each step:
//   pin-dialog.png  device-tab.png  device-tab-copied.png  only-new-question.png
//   message-box.png  pc-tab.png  context-menu.png
// For the README and the AppStream description, and for checking that every
// text fits its control at a desktop's larger scales.
#include "app/MainUnit.h"
#include "app/ParlomaxApplication.h"
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
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

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

// No sound needed for pictures.
class SilentOutputs final : public sound::AudioOutputFactory {
 public:
  sound::OpenedOutput Open() override { return {nullptr, "no sound for screenshots"}; }
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
  // A telephone in the emulator's folder of this session.
  pid_t phone = 0;
  std::string phoneProgram = argv[2];
  char* phoneArgs[] = {phoneProgram.data(), nullptr};
  if (posix_spawn(&phone, phoneProgram.c_str(), nullptr, nullptr, phoneArgs, environ) != 0) return 1;

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
  SilentOutputs sound;
  shell::QtFolderBrowser browser;
  app::TMainForm form(app::Platform{devices, messages, folders, automation, sound, browser, "speex"});
  device::TPasswordDlg dialog(form.Link(), messages, form);
  form.SetPasswordDialog(&dialog);
  form.move(40, 40);
  form.show();
  Wait(3000, [&] { return form.findChild<QPushButton*>("BitBtnRefersh")->isEnabled(); });

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
