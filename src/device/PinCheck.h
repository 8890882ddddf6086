#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace parlomax::device {

inline const QString kWrongPinMessage = QStringLiteral("密码错误，无法登录");

using PinDigits = std::array<std::uint8_t, 4>;

// The digits of a typed PIN as the telephone would send them, thousands
// first. The text is read as a number the way C reads one: leading white
// space skipped, an optional sign, digits up to the first non-digit, and 0
// when there are none; each digit is then cut out of that number.
PinDigits PinDigitsOfText(const QString& text);

// True when the typed text is exactly four characters long and its digits
// are the telephone's.
bool PinMatches(const QString& text, const PinDigits& typed, const PinDigits& telephone);

}  // namespace parlomax::device
