#include "platform/spreadsheet/FileNameText.h"

#include <string>

namespace parlomax::spreadsheet {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // + a byte from 0x80 to 0xFF

// The length of the well-formed UTF-8 character at `at`, or 0.
std::size_t CharacterLength(const std::string& bytes, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  // The lead byte says the length and bounds the second byte, which rules
  // out overlong forms, surrogates and code points past U+10FFFF.
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > bytes.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

QString FileNameText(const std::filesystem::path& file) {
  const std::string& bytes = file.native();
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = CharacterLength(bytes, at);
    if (length == 0) {
      text += QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[at])));
      ++at;
    } else {
      text += QString::fromUtf8(bytes.data() + at, static_cast<qsizetype>(length));
      at += length;
    }
  }
  return text;
}

std::filesystem::path PathOfFileNameText(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i].unicode();
    if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
      bytes += static_cast<char>(unit - kEscapeBase);
    } else if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
               text[i + 1].isLowSurrogate()) {
      bytes += QStringView(text).mid(i, 2).toUtf8().toStdString();
      ++i;
    } else {
      bytes += QStringView(text).mid(i, 1).toUtf8().toStdString();
    }
  }
  return bytes;
}

}  // namespace parlomax::spreadsheet
