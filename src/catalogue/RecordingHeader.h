#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace parlomax::catalogue {

inline constexpr std::size_t kRecordingHeaderSize = 19;

// The telephone's 19-byte description of one recording, exactly as it sends
// it and as it opens every .spx file. Multi-byte fields are big-endian.
using RecordingHeader = std::array<std::uint8_t, kRecordingHeaderSize>;

enum class CallType : std::uint8_t { Incoming = 0, Outgoing = 1, Memo = 2 };

// Payload length field value that means "no sound".
inline constexpr std::uint32_t kEmptyPayloadMarker = 0xFFFFFFFFu;
// Sound is stored at 1000 payload bytes per second.
inline constexpr std::uint32_t kPayloadBytesPerSecond = 1000;

// Every field as the telephone wrote it; nothing is range-checked, so a
// month of 15 or a minute of 63 comes out as such.
struct RecordingFields {
  unsigned callType = 0;  // 0..3; see CallType
  unsigned month = 0;     // 0..15
  unsigned day = 0;       // 0..31
  unsigned hour = 0;      // 0..31
  unsigned minute = 0;    // 0..63
  QString telephoneNumber;
  std::uint32_t startAddress = 0;
  std::uint32_t payloadLength = 0;  // after the empty-payload rule
  std::uint32_t durationSeconds = 0;

  bool operator==(const RecordingFields&) const = default;
};

RecordingFields DecodeRecordingHeader(const RecordingHeader& header);
// The same but for the telephone number, which alone costs an allocation of
// text; with the number as ASCII apart. For work over many rows.
RecordingFields DecodeCallFields(const RecordingHeader& header);
std::string TelephoneNumberText(const RecordingHeader& header);
// Month, day, hour and minute as one number that orders as the times do.
std::uint32_t TimeOrder(const RecordingHeader& header);

std::uint32_t StartAddress(const RecordingHeader& header);
// The length field with the empty-payload marker read as 0.
std::uint32_t PayloadLength(const RecordingHeader& header);
// Whole seconds rounded up by one: every non-empty recording counts one
// second more than its length / 1000, exact multiples included.
std::uint32_t DurationSeconds(std::uint32_t payloadLength);

// What a header says of the call itself: everything but where its sound
// lay in the telephone's memory, which moves when an earlier recording is
// deleted there (those bytes read zero).
RecordingHeader CallOf(const RecordingHeader& header);
// Whether two headers describe the same call.
inline bool SameCall(const RecordingHeader& a, const RecordingHeader& b) {
  return CallOf(a) == CallOf(b);
}

// Builds the 19 bytes from fields, for whoever plays the telephone's part.
// The length is stored as given (pass kEmptyPayloadMarker to write the
// marker); the reserved bytes are zero; characters of the number other than
// 0-9 * # a b c are dropped, and only the first 12 digits are kept.
RecordingHeader EncodeRecordingHeader(const RecordingFields& fields);

}  // namespace parlomax::catalogue
