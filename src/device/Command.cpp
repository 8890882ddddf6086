#include "device/Command.h"

#include "catalogue/RecordingHeader.h"

namespace parlomax::device {

std::uint32_t Command::ReplySize() const {
  switch (code) {
    case CommandCode::ReadCount:
      return 2;
    case CommandCode::ReadHeader:
      return catalogue::kRecordingHeaderSize;
    case CommandCode::ReadMemory:
      return length;
    case CommandCode::ReadPin:
      return 4;
  }
  return 0;
}

void PlaceCommand(const Command& command, FrameBytes& frame) {
  frame[0] = static_cast<std::uint8_t>(command.code);
  switch (command.code) {
    case CommandCode::ReadHeader:
      frame[1] = static_cast<std::uint8_t>(command.index);
      frame[2] = static_cast<std::uint8_t>(command.index >> 8);
      break;
    case CommandCode::ReadMemory:
      frame[1] = static_cast<std::uint8_t>(command.address);
      frame[2] = static_cast<std::uint8_t>(command.address >> 8);
      frame[3] = static_cast<std::uint8_t>(command.address >> 16);
      frame[4] = static_cast<std::uint8_t>(command.address >> 24);
      frame[5] = static_cast<std::uint8_t>(command.length);
      frame[6] = static_cast<std::uint8_t>(command.length >> 8);
      frame[7] = 0;
      break;
    case CommandCode::ReadCount:
    case CommandCode::ReadPin:
      break;
  }
}

}  // namespace parlomax::device
