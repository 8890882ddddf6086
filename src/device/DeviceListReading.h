#pragma once

#include "catalogue/DeviceList.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace parlomax::device {

class DeviceLink;

// Reads the logged-in telephone's list: the count, then the header of every
// recording but the one never asked for, one row per header read. The list
// is emptied once the count command has gone out. A record that cannot be
// read is reported and skipped; after any failed exchange `telephoneGone`
// is asked, and when the telephone has gone the reading stops there instead
// of failing once per remaining record. Returns the count the telephone
// gave, or nothing when it could not be asked.
std::optional<std::uint32_t> ReadDeviceList(DeviceLink& link, catalogue::DeviceListView& view,
                                            const std::function<bool()>& telephoneGone);

}  // namespace parlomax::device
