#pragma once

#include "catalogue/DeviceList.h"
#include "cli/ExitStatus.h"
#include "cli/StatusLine.h"
#include "device/DeviceLink.h"
#include "device/DeviceListReading.h"

#include <chrono>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace parlomax::cli {

// The telephone's list as read for a command.
struct TelephoneList {
  std::optional<std::uint32_t> count;  // nothing: the count could not be read
  std::vector<catalogue::DeviceListRow> rows;
  device::DeviceListRead read;  // how the reading went
};

// One telephone, opened and logged in for the length of a command.
class Telephone {
 public:
  Telephone(usb::DeviceLibrary& devices, TerminalMessages& messages, StatusLine& out);
  ~Telephone();

  // Opens the `number`th telephone (from 1) and logs in with `pin`, which is
  // asked for only once a telephone is there. kDone, or the status to end with.
  // `pin` says what to end with when it has no PIN to give. A telephone that
  // another program holds is tried again every few seconds for up to
  // `whileBusy` before giving up.
  using PinSource = std::function<std::variant<QString, ExitStatus>()>;
  ExitStatus Connect(std::uint32_t number, const PinSource& pin,
                     std::chrono::seconds whileBusy = std::chrono::seconds(0));

  device::DeviceLink& Link() { return link_; }
  // Whether the telephone has left since it was opened: fewer are counted.
  bool Gone();
  // The list, read the way the window's list request reads it; an
  // interrupt stops it at the next record.
  TelephoneList ReadList();
  // What to end with after an exchange failed: gone or merely failed.
  ExitStatus FailureStatus();

 private:
  ExitStatus LogIn(const QString& pin);
  // Opens it, waiting while another program holds it; kDone or what to end with.
  ExitStatus Open(std::uint32_t number, std::uint32_t count, std::chrono::seconds whileBusy);

  StatusLine& out_;
  device::DeviceLink link_;
  std::uint32_t countAtOpen_ = 0;
};

}  // namespace parlomax::cli
