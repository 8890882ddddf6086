#pragma once

#include <string>
#include <vector>

namespace parlomax::usb {
class DeviceLibrary;
}
namespace parlomax::spreadsheet {
class AutomationFactory;
}

namespace parlomax::cli {

// What the program works with: real telephones and the spreadsheet server
// in the program, stand-ins in a benchmark.
struct CliPlatform {
  usb::DeviceLibrary& devices;
  spreadsheet::AutomationFactory& automation;
  std::string decoderProgram;
};

// The whole program: `words` without the program's name; the exit status.
int RunCli(const std::vector<std::string>& words, CliPlatform& platform);

}  // namespace parlomax::cli
