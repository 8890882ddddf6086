#pragma once

namespace parlomax::usb {
class DeviceLibrary;
}
namespace parlomax::shell {
class FolderChooser;
class MessageService;
}

namespace parlomax::app {

// What the window needs from the world outside it. The program passes the
// real things; tests pass a telephone model and a message recorder.
struct Platform {
  usb::DeviceLibrary& devices;
  shell::MessageService& messages;
  shell::FolderChooser& folders;
};

}  // namespace parlomax::app
