#pragma once

#include <cstdint>

namespace parlomax::usb {

// An emulated telephone, like a real one, serves one program at a time: a
// program's USB interface claim keeps every other program out until it lets
// go. The emulator answers each new connection with one byte before any
// command: the telephone is the caller's until it closes the connection or
// ends, or it is busy with another program and the connection is closed.
inline constexpr std::uint8_t kEmulatorYours = 'Y';
inline constexpr std::uint8_t kEmulatorBusy = 'B';

}  // namespace parlomax::usb
