#include "device/PinLogin.h"

#include "device/DeviceLink.h"
#include "device/PinCheck.h"

namespace parlomax::device {

LoginOutcome LogIn(DeviceLink& link, const QString& typed,
                   const std::function<void()>& tellRefused) {
  const PinDigits digits = PinDigitsOfText(typed);
  link.Flush();
  PinDigits telephone{};
  if (!link.Exchange(Command::ReadPin(), FramePreparation::KeepOtherBytes, telephone)) {
    return LoginOutcome::ExchangeFailed;
  }
  if (PinMatches(typed, digits, telephone)) {
    link.LoginAccepted();
    return LoginOutcome::Accepted;
  }
  if (tellRefused) tellRefused();
  link.LogOut();
  return LoginOutcome::Refused;
}

}  // namespace parlomax::device
