#pragma once

#include "catalogue/RecordingTexts.h"

#include <QString>

#include <cstdint>

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

}  // namespace parlomax::catalogue
