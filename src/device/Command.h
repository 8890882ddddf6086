#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace parlomax::device {

inline constexpr std::size_t kCommandSize = 8;  // bytes written per command
inline constexpr std::size_t kCommandFrameSize = 64;
// The most memory one command reads; the payload buffer holds one such reply.
inline constexpr std::uint16_t kMaxMemoryChunk = 256;
inline constexpr std::size_t kPayloadBufferSize = kMaxMemoryChunk;

using FrameBytes = std::array<std::uint8_t, kCommandFrameSize>;
using PayloadBytes = std::array<std::uint8_t, kPayloadBufferSize>;

enum class CommandCode : std::uint8_t {
  ReadCount = 1,   // reply: 2 bytes, recording count, low byte first
  ReadHeader = 2,  // reply: the 19-byte recording header
  ReadMemory = 3,  // reply: `length` bytes of telephone memory
  ReadPin = 4,     // reply: 4 bytes, one PIN digit (0..9) each, thousands first
};

// One request to the telephone. Multi-byte fields go out low byte first.
struct Command {
  CommandCode code = CommandCode::ReadCount;
  std::uint16_t index = 0;    // ReadHeader: recording index, from 0
  std::uint32_t address = 0;  // ReadMemory: first byte to read
  std::uint16_t length = 0;   // ReadMemory: 1..256

  static Command ReadCount() { return {CommandCode::ReadCount}; }
  static Command ReadHeader(std::uint16_t index) { return {CommandCode::ReadHeader, index}; }
  static Command ReadMemory(std::uint32_t address, std::uint16_t length) {
    return {CommandCode::ReadMemory, 0, address, length};
  }
  static Command ReadPin() { return {CommandCode::ReadPin}; }

  // Bytes the telephone answers with.
  std::uint32_t ReplySize() const;
  // Whether the reply lands in the payload buffer rather than the command frame.
  bool RepliesIntoPayloadBuffer() const { return code == CommandCode::ReadMemory; }
};

// Sets the bytes of the frame that the command defines and leaves every other
// byte as it was.
void PlaceCommand(const Command& command, FrameBytes& frame);

}  // namespace parlomax::device
