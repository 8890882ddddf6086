#include "device/DeviceListReading.h"

#include "device/DeviceLink.h"

#include <array>

namespace parlomax::device {

std::optional<std::uint32_t> ReadDeviceList(DeviceLink& link, catalogue::DeviceListView& view,
                                            const std::function<bool()>& telephoneGone) {
  std::array<std::uint8_t, 2> countBytes{};
  // A count command that does not go out leaves the old list standing.
  if (!link.Exchange(Command::ReadCount(), FramePreparation::KeepOtherBytes, countBytes, {},
                     [&view] { view.Clear(); })) {
    return std::nullopt;
  }
  const std::uint32_t count = countBytes[0] + 256u * countBytes[1];
  for (std::uint32_t index = 0; index < count; ++index) {
    if (index == catalogue::kNeverRequestedIndex) continue;
    catalogue::RecordingHeader header{};
    const auto recordIndex = static_cast<std::uint16_t>(index);
    if (link.Exchange(Command::ReadHeader(recordIndex), FramePreparation::KeepOtherBytes, header)) {
      view.AddRow(catalogue::MakeDeviceListRow(recordIndex, header));
    } else if (telephoneGone()) {
      break;
    }
  }
  return count;
}

}  // namespace parlomax::device
