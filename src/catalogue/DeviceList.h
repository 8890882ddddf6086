#pragma once

#include "catalogue/RecordingTexts.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace parlomax::device {
class DeviceLink;
}

namespace parlomax::catalogue {

// The telephone never hands out recording 65534; neither the list nor the
// copy of all recordings asks for it.
inline constexpr std::uint16_t kNeverRequestedIndex = 0xFFFE;

// One row of the telephone's list. The row remembers which recording it
// stands for, since a record that could not be read leaves no row and the
// rows after it no longer sit at their recording's index.
struct DeviceListRow {
  std::uint16_t recordIndex = 0;
  QString caption;   // record index + 1
  QString fileName;  // the name its copy will have
  ColumnTexts texts;
  RecordingHeader header;  // as the telephone sent it
};

DeviceListRow MakeDeviceListRow(std::uint16_t recordIndex, const RecordingHeader& header);

// Where the rows go as they are read.
class DeviceListView {
 public:
  virtual ~DeviceListView() = default;
  virtual void Clear() = 0;
  virtual void AddRow(const DeviceListRow& row) = 0;
};

// Reads the logged-in telephone's list: the count, then the header of every
// recording but the one never asked for, one row per header read. The list
// is emptied once the count command has gone out. A record that cannot be
// read is reported and skipped; after any failed exchange `telephoneGone`
// is asked, and when the telephone has gone the reading stops there instead
// of failing once per remaining record. Returns the count the telephone
// gave, or nothing when it could not be asked.
std::optional<std::uint32_t> ReadDeviceList(device::DeviceLink& link, DeviceListView& view,
                    const std::function<bool()>& telephoneGone);

}  // namespace parlomax::catalogue
