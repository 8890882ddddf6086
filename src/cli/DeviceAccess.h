#pragma once

#include <QStringList>

#include <string>

namespace parlomax::cli {

// Whether this user may open a USB device node, and if not, why and what
// mends it: the udev rule that gives the telephone to the person at the
// desk and to the plugdev group, or a group the user is not (yet) in.
struct DeviceAccess {
  bool mayOpen = false;
  QString why;         // when not: one line
  QStringList fix;     // when not: what to do, commands included
};

DeviceAccess CheckDeviceAccess(const std::string& deviceNode);

// Where the udev rule is installed, or "" when it is nowhere udev looks.
std::string InstalledUdevRule();

}  // namespace parlomax::cli
