#include "phone/TelephoneModel.h"

#include <algorithm>
#include <stdexcept>

namespace parlomax::phone {
namespace {
constexpr std::size_t kHeaderSize = catalogue::kRecordingHeaderSize;
constexpr std::size_t kMaxRecordings = 0xFFFF;
}  // namespace

TelephoneModel::TelephoneModel(Pin pin, const std::vector<Recording>& recordings) : pin_(pin) {
  if (recordings.size() > kMaxRecordings) {
    throw std::invalid_argument("a telephone holds at most 65535 recordings");
  }
  count_ = static_cast<std::uint16_t>(recordings.size());
  std::size_t total = recordings.size() * kHeaderSize;
  for (const auto& r : recordings) total += r.payload.size();
  if (total > 0xFFFFFFFFull) throw std::invalid_argument("recordings exceed 4 GiB of memory");
  memory_.resize(total);

  std::size_t address = recordings.size() * kHeaderSize;
  for (std::size_t i = 0; i < recordings.size(); ++i) {
    const Recording& r = recordings[i];
    catalogue::RecordingFields fields = r.call;
    fields.startAddress = static_cast<std::uint32_t>(address);
    fields.payloadLength =
        r.markEmpty ? catalogue::kEmptyPayloadMarker : static_cast<std::uint32_t>(r.payload.size());
    auto header = catalogue::EncodeRecordingHeader(fields);
    if (r.header) {
      std::copy_n(r.header->begin(), 11, header.begin());  // all but address and length
    }
    std::copy(header.begin(), header.end(), memory_.begin() + i * kHeaderSize);
    std::copy(r.payload.begin(), r.payload.end(), memory_.begin() + address);
    address += r.payload.size();
  }
}

TelephoneModel::TelephoneModel(Pin pin, std::uint16_t count, std::vector<std::uint8_t> memory)
    : pin_(pin), count_(count), memory_(std::move(memory)) {
  if (memory_.size() < std::size_t{count_} * kHeaderSize) {
    throw std::invalid_argument("the memory is too small for its headers");
  }
}

catalogue::RecordingHeader TelephoneModel::Header(std::uint16_t index) const {
  catalogue::RecordingHeader header;
  if (index >= count_) {
    header.fill(0xFF);
    return header;
  }
  std::copy_n(memory_.begin() + index * kHeaderSize, kHeaderSize, header.begin());
  return header;
}

void TelephoneModel::SetHeader(std::uint16_t index, const catalogue::RecordingHeader& header) {
  if (index >= count_) throw std::out_of_range("no such recording");
  std::copy(header.begin(), header.end(), memory_.begin() + index * kHeaderSize);
}

std::vector<std::uint8_t> TelephoneModel::Payload(std::uint16_t index) const {
  const auto header = Header(index);
  const std::uint64_t start = catalogue::StartAddress(header);
  const std::uint64_t length = catalogue::PayloadLength(header);
  std::vector<std::uint8_t> payload(length, 0);
  if (start < memory_.size()) {
    const std::uint64_t available = std::min<std::uint64_t>(length, memory_.size() - start);
    std::copy_n(memory_.begin() + start, available, payload.begin());
  }
  return payload;
}

std::optional<std::vector<std::uint8_t>> TelephoneModel::Answer(
    std::span<const std::uint8_t, 8> command) const {
  switch (command[0]) {
    case 1:
      return std::vector<std::uint8_t>{static_cast<std::uint8_t>(count_),
                                       static_cast<std::uint8_t>(count_ >> 8)};
    case 2: {
      const auto index = static_cast<std::uint16_t>(command[1] | (command[2] << 8));
      const auto header = Header(index);
      return std::vector<std::uint8_t>(header.begin(), header.end());
    }
    case 3: {
      const std::uint64_t address = std::uint64_t{command[1]} | (std::uint64_t{command[2]} << 8) |
                                    (std::uint64_t{command[3]} << 16) |
                                    (std::uint64_t{command[4]} << 24);
      const std::size_t length = command[5] | (command[6] << 8);
      std::vector<std::uint8_t> reply(length, 0);
      if (address < memory_.size()) {
        const std::size_t available =
            std::min<std::uint64_t>(length, memory_.size() - address);
        std::copy_n(memory_.begin() + address, available, reply.begin());
      }
      return reply;
    }
    case 4:
      return std::vector<std::uint8_t>(pin_.begin(), pin_.end());
    default:
      return std::nullopt;
  }
}

}  // namespace parlomax::phone
