#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace parlomax::spreadsheet {

// A compound file (the container of Office 97-2003 documents) holding one
// stream under the root. Streams under 4096 bytes are padded with zeros to
// that size, so that no mini stream is needed.
std::vector<std::uint8_t> CompoundFile(std::u16string_view streamName,
                                       std::vector<std::uint8_t> stream);

}  // namespace parlomax::spreadsheet
