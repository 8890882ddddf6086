#pragma once

#include "catalogue/RecordingHeader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace parlomax::phone {

using Pin = std::array<std::uint8_t, 4>;  // one digit 0..9 per byte, thousands first

// One recording as it goes into the telephone: what the header says about the
// call, and the Speex payload. The model decides the start address.
struct Recording {
  catalogue::RecordingFields call;
  std::vector<std::uint8_t> payload;
  // Writes the length field as 0xFFFFFFFF instead of the payload's size.
  bool markEmpty = false;
  // A header to keep byte for byte (reserved bits included) instead of one
  // made from `call`; its address and length are still set by the model.
  std::optional<catalogue::RecordingHeader> header;
};

// A telephone's memory and its answers to the four commands, byte for byte.
//
// The memory holds, from address 0, the directory of 19-byte headers (entry i
// at 19 * i) and behind it the payloads one after another, each where its
// header's start address says.
class TelephoneModel {
 public:
  TelephoneModel(Pin pin, const std::vector<Recording>& recordings);
  // A memory as saved before: `count` headers from address 0, then payloads.
  TelephoneModel(Pin pin, std::uint16_t count, std::vector<std::uint8_t> memory);

  std::uint16_t Count() const { return count_; }
  const Pin& PinDigits() const { return pin_; }
  const std::vector<std::uint8_t>& Memory() const { return memory_; }

  catalogue::RecordingHeader Header(std::uint16_t index) const;
  // Replaces a header's bytes in the directory, to stage odd records.
  void SetHeader(std::uint16_t index, const catalogue::RecordingHeader& header);
  // The payload bytes of a recording, as its header describes them.
  std::vector<std::uint8_t> Payload(std::uint16_t index) const;

  // The reply to an 8-byte command, or nothing for a command the telephone
  // does not know. Headers past the count read as erased memory (0xFF);
  // memory past the end reads as 0.
  std::optional<std::vector<std::uint8_t>> Answer(std::span<const std::uint8_t, 8> command) const;

 private:
  Pin pin_;
  std::uint16_t count_;
  std::vector<std::uint8_t> memory_;
};

}  // namespace parlomax::phone
