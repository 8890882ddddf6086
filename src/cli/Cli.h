#pragma once

#include <string>
#include <vector>

namespace parlomax::usb {
class DeviceLibrary;
class UsbDeviceLibrary;
}
namespace parlomax::sound {
class AudioOutputFactory;
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
  // What the doctor looks at besides: the telephones on the cable one by
  // one, and the sound output. Either may be missing.
  usb::UsbDeviceLibrary* usb = nullptr;
  sound::AudioOutputFactory* sound = nullptr;
};

// The whole program: `words` without the program's name; the exit status.
int RunCli(const std::vector<std::string>& words, CliPlatform& platform);

}  // namespace parlomax::cli
