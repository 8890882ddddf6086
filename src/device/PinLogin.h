#pragma once

#include <QString>

#include <functional>

namespace parlomax::device {

class DeviceLink;

enum class LoginOutcome {
  ExchangeFailed,  // reported by the link; the login stays as it was
  Accepted,
  Refused,
};

// The login, as the PIN dialog and the command line both make it: whatever
// the telephone still holds is flushed, its PIN is read and compared here,
// on the PC, with the typed text, and the link's login follows the answer.
// `tellRefused` runs before a refusal ends an earlier login, so that the
// login still stands while the user is being told.
LoginOutcome LogIn(DeviceLink& link, const QString& typed,
                   const std::function<void()>& tellRefused);

}  // namespace parlomax::device
