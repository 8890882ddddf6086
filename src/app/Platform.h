#pragma once

#include <filesystem>
#include <string>

namespace parlomax::usb {
class DeviceLibrary;
}
namespace parlomax::shell {
class FolderBrowser;
class FolderChooser;
class MessageService;
}

namespace parlomax::spreadsheet {
class AutomationFactory;
}
namespace parlomax::sound {
class AudioOutputFactory;
}

namespace parlomax::app {

// What the window needs from the world outside it. The program passes the
// real things; tests pass a telephone model and a message recorder.
struct Platform {
  usb::DeviceLibrary& devices;
  shell::MessageService& messages;
  shell::FolderChooser& folders;
  spreadsheet::AutomationFactory& automation;
  sound::AudioOutputFactory& sound;
  shell::FolderBrowser& browser;
  // The Speex decoder program: a path, or a name looked up on PATH.
  std::string decoderProgram = "speex";
  // Where the rows of folders listed before are kept between runs; empty to
  // keep none.
  std::filesystem::path listCache = {};
  // Where the window's folders are kept between runs; empty to keep none.
  std::filesystem::path settingsFile = {};
};

}  // namespace parlomax::app
