// How long the telephone's largest list takes: 65535 recordings read from the
// parlomax-phone program, once into nothing (the device exchanges alone) and
// once into the window's list widget (what the user waits for).
//
//   bench_device_list
#include "BenchSupport.h"
#include "app/RecordingListView.h"
#include "catalogue/DeviceList.h"
#include "device/DeviceLink.h"
#include "device/DeviceListReading.h"

#include <QApplication>
#include <QTreeView>

#include <sys/resource.h>

using namespace parlomax;
using Clock = std::chrono::steady_clock;

namespace {

struct CountingView final : catalogue::DeviceListView {
  std::size_t rows = 0;
  void Clear() override { rows = 0; }
  void AddRow(const catalogue::DeviceListRow&) override { ++rows; }
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);

  bench::EmulatorProcess phone({"--generate", "65535"});
  usb::EmulatorDeviceLibrary library(phone.Folder());
  bench::QuietMessages messages;
  device::DeviceLink link(library, messages);
  if (!link.OpenFirstDevice()) bench::Fail("cannot open the emulator");
  const auto never = [] { return false; };

  CountingView counter;
  auto start = Clock::now();
  device::ReadDeviceList(link, counter, never);
  const double exchanges = bench::SecondsSince(start);

  QTreeView list;
  app::DeviceRecordingRows rows;
  app::SetUpRecordingListView(&list, &rows);
  list.resize(620, 400);
  list.show();
  application.processEvents();
  app::RecordingListFiller filler(&rows);
  start = Clock::now();
  device::ReadDeviceList(link, filler, never);
  application.processEvents();  // the list laid out and painted once
  const double total = bench::SecondsSince(start);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("recordings listed:          %zu (widget rows %d)\n", counter.rows,
              list.model()->rowCount());
  std::printf("device exchanges alone:     %.2f s\n", exchanges);
  std::printf("into the list widget:       %.2f s (filling: %.2f s)\n", total, total - exchanges);
  std::printf("peak memory of the program: %.0f MB\n", usage.ru_maxrss / 1024.0);

  if (!messages.seen.empty()) std::printf("unexpected messages: %zu\n", messages.seen.size());
  return 0;
}
