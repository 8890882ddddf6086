#include "catalogue/DeviceList.h"

namespace parlomax::catalogue {

DeviceListRow MakeDeviceListRow(std::uint16_t recordIndex, const RecordingHeader& header) {
  const std::uint32_t recordNumber = std::uint32_t{recordIndex} + 1;
  return {recordIndex, QString::number(recordNumber), RecordingFileName(header, recordNumber),
          RecordingColumnTexts(header), header};
}

}  // namespace parlomax::catalogue
