#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace parlomax::spreadsheet {

// Little-endian bytes, appended or patched in place.
class ByteWriter {
 public:
  std::vector<std::uint8_t>& Bytes() { return bytes_; }
  std::size_t Size() const { return bytes_.size(); }

  void U8(std::uint8_t v) { bytes_.push_back(v); }
  void U16(std::uint16_t v) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    bytes_.insert(bytes_.end(), b, b + 2);
  }
  void U32(std::uint32_t v) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    bytes_.insert(bytes_.end(), b, b + 4);
  }
  void U64(std::uint64_t v) {
    U32(static_cast<std::uint32_t>(v));
    U32(static_cast<std::uint32_t>(v >> 32));
  }
  void Zeros(std::size_t n) { bytes_.insert(bytes_.end(), n, 0); }
  void Utf16(const QString& text) {
    for (const QChar c : text) U16(c.unicode());
  }
  void Append(const std::vector<std::uint8_t>& more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }
  void PatchU32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace parlomax::spreadsheet
