// parlomax-cli: the telephone's list, copies, conversion and export without
// the window, for a terminal, a script or a nightly timer.
#include "audio/ExternalDecoder.h"
#include "cli/Cli.h"
#include "cli/Commands.h"
#include "cli/PinSource.h"
#include "cli/StandardOutput.h"
#include "platform/sound/StkAudioOutput.h"
#include "platform/spreadsheet/SpreadsheetServer.h"
#include "platform/usb/CombinedDeviceLibrary.h"
#include "platform/usb/EmulatorDeviceLibrary.h"
#include "platform/usb/UsbDeviceLibrary.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>

using namespace parlomax;

int main(int argc, char** argv) {
  cli::HoldClosedStandardDescriptors();
  cli::TakePinFromEnvironment();
  if (argc == 2 && std::strcmp(argv[1], cli::kSoundProbeArgument) == 0) {
    sound::StkAudioOutputFactory sound;
    return cli::ProbeSound(sound);
  }
  try {
    // Telephones on the cable first, then running emulators: the window's order.
    usb::CombinedDeviceLibrary devices;
    auto usb = std::make_unique<usb::UsbDeviceLibrary>();
    usb::UsbDeviceLibrary* onCable = usb.get();
    devices.AddBackend(std::move(usb));
    devices.AddBackend(std::make_unique<usb::EmulatorDeviceLibrary>());
    spreadsheet::BuiltInAutomation automation;
    sound::StkAudioOutputFactory sound;
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    cli::CliPlatform platform{devices, automation, audio::FindDecoderProgram(self.parent_path()), onCable, &sound};
    return cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), platform);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "parlomax-cli: %s\n", e.what());
  }
  return 1;
}
