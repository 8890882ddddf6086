// How long the telephone's largest list takes: 65535 recordings read from the
// parlomax-phone program, once into nothing (the device exchanges alone) and
// once into the window's list widget (what the user waits for).
//
//   bench_device_list
#include "app/RecordingListView.h"
#include "catalogue/DeviceList.h"
#include "device/DeviceLink.h"
#include "platform/usb/EmulatorDeviceLibrary.h"

#include <QApplication>
#include <QTreeWidget>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

extern char** environ;

using namespace parlomax;
using Clock = std::chrono::steady_clock;

namespace {

// Messages would mean a failed exchange, which spoils the measurement.
class FailOnMessage final : public shell::MessageService {
 public:
  void Show(const QString&, const QString& text, shell::MessageIcon) override {
    std::fprintf(stderr, "unexpected message: %s\n", qPrintable(text));
    std::exit(1);
  }
  bool AskOkCancel(const QString& text) override {
    Show({}, text, {});
    return false;
  }
};

struct CountingView final : catalogue::DeviceListView {
  std::size_t rows = 0;
  void Clear() override { rows = 0; }
  void AddRow(const catalogue::DeviceListRow&) override { ++rows; }
};

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);

  const auto folder = std::filesystem::temp_directory_path() / ("parlomax-bench-list-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
  const std::string folderText = folder.string();
  const char* phoneArgv[] = {PARLOMAX_PHONE_PROGRAM, "--folder", folderText.c_str(), "--generate", "65535", nullptr};
  pid_t phone = 0;
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  if (posix_spawn(&phone, phoneArgv[0], &quiet, nullptr, const_cast<char**>(phoneArgv), environ) != 0) return 1;

  usb::EmulatorDeviceLibrary library(folder);
  FailOnMessage messages;
  device::DeviceLink link(library, messages);
  for (int i = 0; i < 3000 && link.CountDevices() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (!link.OpenFirstDevice()) return 1;
  const auto never = [] { return false; };

  CountingView counter;
  auto start = Clock::now();
  catalogue::ReadDeviceList(link, counter, never);
  const double exchanges = Seconds(start);

  QTreeWidget list;
  app::SetUpRecordingListView(&list);
  list.resize(620, 400);
  list.show();
  application.processEvents();
  app::RecordingListFiller filler(&list);
  start = Clock::now();
  catalogue::ReadDeviceList(link, filler, never);
  application.processEvents();  // the list laid out and painted once
  const double total = Seconds(start);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("recordings listed:          %zu (widget rows %d)\n", counter.rows, list.topLevelItemCount());
  std::printf("device exchanges alone:     %.2f s\n", exchanges);
  std::printf("into the list widget:       %.2f s (filling: %.2f s)\n", total, total - exchanges);
  std::printf("peak memory of the program: %.0f MB\n", usage.ru_maxrss / 1024.0);

  ::kill(phone, SIGTERM);
  ::waitpid(phone, nullptr, 0);
  std::filesystem::remove_all(folder);
  return 0;
}
