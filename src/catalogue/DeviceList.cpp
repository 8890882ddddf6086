#include "catalogue/DeviceList.h"

#include "device/DeviceLink.h"

#include <array>

namespace parlomax::catalogue {

using device::Command;
using device::FramePreparation;

DeviceListRow MakeDeviceListRow(std::uint16_t recordIndex, const RecordingHeader& header) {
  const std::uint32_t recordNumber = std::uint32_t{recordIndex} + 1;
  return {recordIndex, QString::number(recordNumber), RecordingFileName(header, recordNumber),
          RecordingColumnTexts(header), header};
}

std::optional<std::uint32_t> ReadDeviceList(device::DeviceLink& link, DeviceListView& view,
                                            const std::function<bool()>& telephoneGone) {
  std::array<std::uint8_t, 2> countBytes{};
  // A count command that does not go out leaves the old list standing.
  if (!link.Exchange(Command::ReadCount(), FramePreparation::KeepOtherBytes, countBytes, {},
                     [&view] { view.Clear(); })) {
    return std::nullopt;
  }
  const std::uint32_t count = countBytes[0] + 256u * countBytes[1];
  for (std::uint32_t index = 0; index < count; ++index) {
    if (index == kNeverRequestedIndex) continue;
    RecordingHeader header{};
    const auto recordIndex = static_cast<std::uint16_t>(index);
    if (link.Exchange(Command::ReadHeader(recordIndex), FramePreparation::KeepOtherBytes, header)) {
      view.AddRow(MakeDeviceListRow(recordIndex, header));
    } else if (telephoneGone()) {
      break;
    }
  }
  return count;
}

}  // namespace parlomax::catalogue
