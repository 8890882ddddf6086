#pragma once

#include <QString>

#include <chrono>
#include <filesystem>

namespace parlomax::notify {

// One notice on the desktop (org.freedesktop.Notifications on the session
// bus). With a folder, it offers to open it.
struct Notice {
  QString summary;
  QString body;
  std::filesystem::path folder;  // empty: nothing to open
  bool urgent = false;           // a failure the user must see to
};

// Shows `notice`; false when no notification server answered. With a folder,
// then waits up to `linger` for the user to click the notice (the folder is
// then opened in the file browser) or to dismiss it, whichever comes first.
// Never waits longer, whatever the server does. Needs a QCoreApplication.
bool ShowNotice(const Notice& notice, std::chrono::milliseconds linger);

}  // namespace parlomax::notify
