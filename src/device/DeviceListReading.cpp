#include "device/DeviceListReading.h"

#include "device/DeviceLink.h"

#include <array>

namespace parlomax::device {
namespace {

// The records a count stands for: the one never asked for has no row.
std::uint32_t RecordsWanted(std::uint32_t count) {
  return count - (count > catalogue::kNeverRequestedIndex ? 1 : 0);
}

}  // namespace

DeviceListRead ReadDeviceList(DeviceLink& link, catalogue::DeviceListView& view,
                              const std::function<bool()>& telephoneGone,
                              const std::function<bool()>& stopAsked) {
  DeviceListRead read;
  // Asked only between records: a stop before the count would leave the
  // caller without the count it needs to tell what the list lacks.
  const auto stopped = [&stopAsked] { return stopAsked && stopAsked(); };
  std::array<std::uint8_t, 2> countBytes{};
  bool countSent = false;
  // A count command that does not go out leaves the old list standing.
  if (!link.Exchange(Command::ReadCount(), FramePreparation::KeepOtherBytes, countBytes, {}, [&] {
        countSent = true;
        view.Clear();
      })) {
    read.end = countSent ? DeviceListRead::End::CountNotRead : DeviceListRead::End::CountNotSent;
    return read;
  }
  const std::uint32_t count = countBytes[0] + 256u * countBytes[1];
  read.count = count;
  read.end = DeviceListRead::End::AllAsked;
  for (std::uint32_t index = 0; index < count; ++index) {
    if (index == catalogue::kNeverRequestedIndex) continue;
    if (stopped()) {
      read.end = DeviceListRead::End::Stopped;
      break;
    }
    catalogue::RecordingHeader header{};
    const auto recordIndex = static_cast<std::uint16_t>(index);
    if (link.Exchange(Command::ReadHeader(recordIndex), FramePreparation::KeepOtherBytes, header)) {
      view.AddRow(catalogue::MakeDeviceListRow(recordIndex, header));
      ++read.rowsRead;
    } else if (telephoneGone()) {
      read.end = DeviceListRead::End::TelephoneGone;
      break;
    }
  }
  read.rowsMissed = RecordsWanted(count) - read.rowsRead;
  return read;
}

QString RowsMissedText(std::uint32_t rowsMissed) {
  return QStringLiteral("有 %1 个录音的信息没有读到，列表不完整。").arg(rowsMissed);
}

}  // namespace parlomax::device
