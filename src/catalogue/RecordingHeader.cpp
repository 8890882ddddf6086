#include "catalogue/RecordingHeader.h"

#include <algorithm>

namespace parlomax::catalogue {
namespace {

constexpr std::size_t kNumberOffset = 5;
constexpr std::size_t kNumberDigits = 12;
constexpr std::size_t kStartOffset = 11;
constexpr std::size_t kLengthOffset = 15;
constexpr std::uint8_t kNoDigit = 15;

// Nibbles 10 and 11 are the keypad's star and hash. The telephone never
// documented 12 to 14; shown as a, b and c, the letters the same packed-digit
// convention in telephone signalling gives them, so that a number holding
// one is not silently cut short.
constexpr char16_t kNibbleCharacters[15] = {u'0', u'1', u'2', u'3', u'4', u'5', u'6', u'7',
                                            u'8', u'9', u'*', u'#', u'a', u'b', u'c'};

std::uint32_t BigEndian32(const RecordingHeader& header, std::size_t offset) {
  return (std::uint32_t{header[offset]} << 24) | (std::uint32_t{header[offset + 1]} << 16) |
         (std::uint32_t{header[offset + 2]} << 8) | std::uint32_t{header[offset + 3]};
}

void PutBigEndian32(RecordingHeader& header, std::size_t offset, std::uint32_t value) {
  header[offset] = static_cast<std::uint8_t>(value >> 24);
  header[offset + 1] = static_cast<std::uint8_t>(value >> 16);
  header[offset + 2] = static_cast<std::uint8_t>(value >> 8);
  header[offset + 3] = static_cast<std::uint8_t>(value);
}

std::uint8_t NumberNibble(const RecordingHeader& header, std::size_t position) {
  const std::uint8_t byte = header[kNumberOffset + position / 2];
  return position % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

void EncodeTelephoneNumber(RecordingHeader& header, const QString& number) {
  std::size_t position = 0;
  for (const QChar c : number) {
    if (position == kNumberDigits) break;
    std::uint8_t nibble = kNoDigit;
    for (std::uint8_t n = 0; n < kNoDigit; ++n) {
      if (c == QChar(kNibbleCharacters[n])) nibble = n;
    }
    if (nibble == kNoDigit) continue;
    std::uint8_t& byte = header[kNumberOffset + position / 2];
    byte = position % 2 == 0 ? static_cast<std::uint8_t>((nibble << 4) | (byte & 0x0F))
                             : static_cast<std::uint8_t>((byte & 0xF0) | nibble);
    ++position;
  }
}

}  // namespace

RecordingHeader CallOf(const RecordingHeader& header) {
  RecordingHeader call = header;
  std::fill(call.begin() + kStartOffset, call.begin() + kLengthOffset, 0);
  return call;
}

std::uint32_t StartAddress(const RecordingHeader& header) {
  return BigEndian32(header, kStartOffset);
}

std::uint32_t PayloadLength(const RecordingHeader& header) {
  const std::uint32_t length = BigEndian32(header, kLengthOffset);
  return length == kEmptyPayloadMarker ? 0 : length;
}

std::uint32_t DurationSeconds(std::uint32_t payloadLength) {
  return payloadLength == 0 ? 0 : payloadLength / kPayloadBytesPerSecond + 1;
}

std::uint32_t TimeOrder(const RecordingHeader& header) {
  // Byte 2's type bits aside, bytes 2 to 4 hold the fields from the month down.
  return (std::uint32_t{header[2] & 0x0Fu} << 16) | (std::uint32_t{header[3]} << 8) | header[4];
}

std::string TelephoneNumberText(const RecordingHeader& header) {
  std::string number;
  for (std::size_t i = 0; i < kNumberDigits; ++i) {
    const std::uint8_t nibble = NumberNibble(header, i);
    if (nibble == kNoDigit) break;  // the number ends at the first empty digit
    number.push_back(static_cast<char>(kNibbleCharacters[nibble]));
  }
  return number;
}

RecordingFields DecodeRecordingHeader(const RecordingHeader& header) {
  RecordingFields fields = DecodeCallFields(header);
  fields.telephoneNumber = QString::fromLatin1(TelephoneNumberText(header));
  return fields;
}

RecordingFields DecodeCallFields(const RecordingHeader& header) {
  RecordingFields fields;
  fields.callType = header[2] >> 6;
  fields.month = header[2] & 0x0F;
  fields.day = header[3] >> 3;
  fields.hour = ((header[3] & 0x07u) << 2) | (header[4] >> 6);
  fields.minute = header[4] & 0x3F;
  fields.startAddress = StartAddress(header);
  fields.payloadLength = PayloadLength(header);
  fields.durationSeconds = DurationSeconds(fields.payloadLength);
  return fields;
}

RecordingHeader EncodeRecordingHeader(const RecordingFields& fields) {
  RecordingHeader header{};
  header[2] = static_cast<std::uint8_t>(((fields.callType & 0x03u) << 6) | (fields.month & 0x0Fu));
  header[3] = static_cast<std::uint8_t>(((fields.day & 0x1Fu) << 3) | ((fields.hour >> 2) & 0x07u));
  header[4] = static_cast<std::uint8_t>(((fields.hour & 0x03u) << 6) | (fields.minute & 0x3Fu));
  for (std::size_t i = 0; i < kNumberDigits / 2; ++i) header[kNumberOffset + i] = 0xFF;
  EncodeTelephoneNumber(header, fields.telephoneNumber);
  PutBigEndian32(header, kStartOffset, fields.startAddress);
  PutBigEndian32(header, kLengthOffset, fields.payloadLength);
  return header;
}

}  // namespace parlomax::catalogue
