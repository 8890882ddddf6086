#pragma once

#include "audio/SoundEncoder.h"
#include "catalogue/RecordingFind.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parlomax::cli {

enum class Command { None, List, Copy, Convert, Find, Export, Doctor, Autocopy, Verify };

// What the command line asks for. Options may stand before or after the
// command's name; "--" ends them.
struct Arguments {
  Command command = Command::None;
  bool help = false;
  bool version = false;
  bool quiet = false;
  bool json = false;       // list, find, verify
  bool telephone = false;  // verify: the telephone's list too
  bool newOnly = false;  // copy
  bool force = false;    // export
  std::uint32_t device = 1;  // counted from 1: USB telephones first, then emulators
  std::optional<std::string> pinFile;
  // --usb: the telephone at this USB place ("1-1.4", as the doctor prints
  // it) or sysfs path (/sys/devices/.../1-1.4), instead of a number
  std::optional<std::string> usbPlace;
  // Not typed: how long a copy waits for a folder another copy is filling,
  // and for a telephone another program holds. autocopy waits; copy does not.
  std::chrono::seconds waitForFolder{0};
  std::chrono::seconds waitForTelephone{0};
  std::vector<std::string> operands;  // the command's own words after its name
  // copy: the recordings' indexes (from 0), ascending, each once; empty: all
  std::vector<std::uint16_t> recordIndexes;
  // find: what narrows the folder's recordings besides the words
  std::optional<catalogue::MonthDay> since, until;
  std::optional<catalogue::CallType> kind;
  std::optional<std::uint32_t> longerThan;
  // convert: the files' format; WAV when not given
  std::optional<audio::ShareFormat> format;
};

struct ParsedArguments {
  Arguments arguments;
  QString error;  // empty when the line made sense
};

// `words` without the program's name.
ParsedArguments ParseArguments(const std::vector<std::string>& words);

// The help of the program (Command::None) or of one command.
QString HelpText(Command command);

}  // namespace parlomax::cli
