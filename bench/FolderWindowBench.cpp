// What a person at the window feels with a folder of an office's recordings
// on the PC tab: the first screenful, the whole list and the longest the
// window stopped answering meanwhile, coming back to the tab, a keystroke in
// the find bar, the memory the rows take, and (with --cold, as root) the
// rows kept between runs after a restart. Each against the bare loop that
// opens every file and reads its header, measured in the same run.
//
//   bench_folder_window [recordings, default 50000] [--cold] [--shot FILE.png]
#include "BareLoop.h"
#include "BenchSupport.h"
#include "FakeFolderChooser.h"
#include "RecordingAudioOutput.h"
#include "RecordingFolder.h"
#include "RecordingFolderBrowser.h"
#include "app/MainUnit.h"
#include "app/RecordingRows.h"
#include "platform/spreadsheet/SpreadsheetServer.h"
#include "platform/usb/EmulatorDeviceLibrary.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace parlomax;
namespace fs = std::filesystem;

namespace {

// The window's thread answering: a 10 ms timer, and how late it came at worst.
class StallWatch {
 public:
  StallWatch() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 now = clock_.nsecsElapsed();
      if (last_ >= 0) worst_ = std::max(worst_, now - last_ - 10'000'000);
      last_ = now;
    });
  }
  void Start() {
    worst_ = 0;
    last_ = -1;
    clock_.start();
    timer_.start(10);
  }
  double WorstMs() {
    timer_.stop();
    return static_cast<double>(worst_) / 1e6;
  }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = -1, worst_ = 0;
};

// Runs the event loop until `done`; the seconds it took.
double Until(const std::function<bool()>& done, double limitSeconds = 120) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitSeconds * 1000) bench::Fail("the window never got there");
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

double ResidentMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

struct Window {
  Window(const fs::path& folder, const fs::path& cache)
      : devices(cache / "no-telephones"),
        form(
            app::Platform{devices, messages, folders, automation, sound, browser, "speex", cache}) {
    folders.answer = QString::fromStdString(folder.string());
    form.resize(800, 600);
    form.show();
    QCoreApplication::processEvents();
  }
  app::FolderRecordingRows& Rows() { return *form.findChild<app::FolderRecordingRows*>(); }
  QTreeView* List() { return form.findChild<QTreeView*>("ListViewFile"); }
  int Shown() { return List()->model()->rowCount(); }

  usb::EmulatorDeviceLibrary devices;
  bench::QuietMessages messages;
  testing::FakeFolderChooser folders;
  spreadsheet::BuiltInAutomation automation;
  testing::RecordingAudioOutputFactory sound;
  testing::RecordingFolderBrowser browser;
  app::TMainForm form;
};

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t count = 50000;
  bool cold = false;
  const char* shot = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--cold") == 0)
      cold = true;
    else if (std::strcmp(argv[i], "--shot") == 0 && i + 1 < argc)
      shot = argv[++i];
    else
      count = static_cast<std::uint32_t>(std::stoul(argv[i]));
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  bench::RecordingFolder folder(count);
  const fs::path cache =
      folder.Path().parent_path() / (folder.Path().filename().string() + "-cache");
  fs::create_directories(cache / "no-telephones");

  bench::BareLoop(folder.Path(), count);  // everything in memory
  // The machine's other work makes single runs vary: the median of three.
  std::vector<double> bares;
  for (int i = 0; i < 3; ++i) bares.push_back(bench::BareLoop(folder.Path(), count));
  std::sort(bares.begin(), bares.end());
  const double bare = bares[1];
  std::printf("recordings:                         %u\n", count);
  std::printf("bare loop (open + 19 bytes each):   %.0f ms\n", bare * 1000);

  double before = 0;
  {
    Window window(folder.Path(), cache);
    window.form.findChild<QTabWidget*>("PageControl1")->setCurrentIndex(1);
    QCoreApplication::processEvents();
    before = ResidentMegabytes();
    StallWatch stalls;
    stalls.Start();
    window.form.BitBtn3Click();
    const double first = Until([&] { return window.Shown() >= 30; });
    const double all = Until([&] { return !window.form.FolderList().Listing(); });
    const double worst = stalls.WorstMs();
    if (window.Shown() != static_cast<int>(count)) bench::Fail("rows missing");
    std::printf("first screenful of rows:            %.0f ms (%.2fx the bare loop)\n", first * 1000,
                first / bare);
    std::printf("all rows, warm:                     %.0f ms (%.2fx the bare loop)\n", all * 1000,
                all / bare);
    std::printf("longest stall of the window:        %.1f ms\n", worst);
    std::printf("memory for the rows:                %.1f MB\n", ResidentMegabytes() - before);

    auto* tabs = window.form.findChild<QTabWidget*>("PageControl1");
    tabs->setCurrentIndex(0);
    QCoreApplication::processEvents();
    stalls.Start();
    QElapsedTimer back;
    back.start();
    tabs->setCurrentIndex(1);
    const double shownAgain = static_cast<double>(back.nsecsElapsed()) / 1e9;
    const double checked = Until([&] { return !window.form.FolderList().Listing(); });
    std::printf(
        "back to the tab, nothing changed:   %.1f ms to show, %.0f ms until checked (%.2fx the "
        "bare loop), stall %.1f ms\n",
        shownAgain * 1000, checked * 1000, checked / bare, stalls.WorstMs());

    auto* find = window.form.findChild<QLineEdit*>("EditFind");
    double worstKey = 0;
    const QString typed = QStringLiteral("138 3-17");
    for (int i = 1; i <= typed.size(); ++i) {
      QElapsedTimer key;
      key.start();
      find->setText(typed.left(i));
      QCoreApplication::processEvents();
      worstKey = std::max(worstKey, static_cast<double>(key.nsecsElapsed()) / 1e6);
    }
    std::printf(
        "one keystroke in the find bar:      %.1f ms at worst (\"138 3-17\" leaves %d rows)\n",
        worstKey, window.Shown());
    find->clear();
    QCoreApplication::processEvents();
    for (int column = 3; column <= 6; column += 3) {
      QElapsedTimer sort;
      sort.start();
      window.List()->sortByColumn(column, Qt::AscendingOrder);
      QCoreApplication::processEvents();
      std::printf("sorting by column %d:                 %.0f ms\n", column,
                  static_cast<double>(sort.nsecsElapsed()) / 1e6);
    }
    window.List()->sortByColumn(-1, Qt::AscendingOrder);
    if (shot) {
      // Typed into the list, as a person finds a call.
      window.List()->setFocus();
      QWidget* into = window.List();
      for (const QChar c : QStringLiteral("138 3-17")) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(into, &key);
        into = find;
      }
      window.List()->selectAll();
      QCoreApplication::processEvents();
      window.form.grab().save(QString::fromLocal8Bit(shot));
    }
  }

  if (cold) {
    if (!bench::DropPageCache()) bench::Fail("dropping the page cache needs root");
    const double coldBare = bench::BareLoop(folder.Path(), count);
    if (!bench::DropPageCache()) bench::Fail("dropping the page cache needs root");
    Window window(folder.Path(), cache);
    window.form.findChild<QTabWidget*>("PageControl1")->setCurrentIndex(1);
    QElapsedTimer clock;
    clock.start();
    window.form.BitBtn3Click();
    const double shown = Until([&] { return window.Shown() == static_cast<int>(count); });
    const double checked = Until([&] { return !window.form.FolderList().Listing(); }) + shown;
    std::printf("after a restart (cold), bare loop:  %.0f ms\n", coldBare * 1000);
    std::printf("after a restart, all rows shown:    %.0f ms; checked for changes after %.0f ms\n",
                shown * 1000, checked * 1000);
  }
  fs::remove_all(cache);
  return 0;
}
