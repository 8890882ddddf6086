#pragma once

#include "catalogue/DeviceList.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace parlomax::device {

class DeviceLink;

// What one reading of the telephone's list came to.
struct DeviceListRead {
  enum class End {
    CountNotSent,   // the count command did not go out: the list was left as it was
    CountNotRead,   // the list was emptied, but no count came back
    AllAsked,       // every record was asked for
    TelephoneGone,  // the telephone left part-way
    Stopped,        // a stop was asked for part-way
  };
  End end = End::CountNotSent;
  std::optional<std::uint32_t> count;  // as the telephone gave it
  std::uint32_t rowsRead = 0;
  // Records the telephone holds (all but the one never asked for) that have
  // no row: those whose reading failed, and those never asked for after a
  // stop. Unknown, and 0, without a count.
  std::uint32_t rowsMissed = 0;

  // Every record the telephone holds has its row.
  bool Complete() const { return end == End::AllAsked && rowsMissed == 0; }
};

// Reads the logged-in telephone's list: the count, then the header of every
// recording but the one never asked for, one row per header read. The list
// is emptied once the count command has gone out. A record that cannot be
// read is reported and skipped; after any failed exchange `telephoneGone`
// is asked, and when the telephone has gone the reading stops there instead
// of failing once per remaining record. `stopAsked`, when given, is asked
// before every record.
DeviceListRead ReadDeviceList(DeviceLink& link, catalogue::DeviceListView& view,
                              const std::function<bool()>& telephoneGone,
                              const std::function<bool()>& stopAsked = {});

// "有 N 个录音的信息没有读到，列表不完整。": what a list with gaps tells its reader.
QString RowsMissedText(std::uint32_t rowsMissed);

}  // namespace parlomax::device
