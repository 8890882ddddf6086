#include "device/PinCheck.h"

#include <cstdlib>
#include <string>

namespace parlomax::device {

PinDigits PinDigitsOfText(const QString& text) {
  const std::string bytes = text.toStdString();
  // At most four characters are typed, so the number always fits.
  const long value = std::strtol(bytes.c_str(), nullptr, 10);
  return {static_cast<std::uint8_t>(value / 1000), static_cast<std::uint8_t>((value % 1000) / 100),
          static_cast<std::uint8_t>((value % 100) / 10), static_cast<std::uint8_t>(value % 10)};
}

bool PinMatches(const QString& text, const PinDigits& typed, const PinDigits& telephone) {
  return text.length() == 4 && typed == telephone;
}

}  // namespace parlomax::device
