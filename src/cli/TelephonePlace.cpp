#include "cli/TelephonePlace.h"

#include "platform/usb/UsbDeviceLibrary.h"

#include <QRegularExpression>
#include <QString>

#include <filesystem>

namespace parlomax::cli {

std::optional<std::string> PlaceNamed(const std::string& typed) {
  std::string place = typed;
  if (typed.starts_with("/sys/") || typed.starts_with("sys/")) {
    std::string path = typed;
    while (path.ends_with('/')) path.pop_back();
    place = std::filesystem::path(path).filename().string();
  }
  // Bus, then the ports from the root hub down: "1-2", "3-1.4.2".
  static const QRegularExpression kPlace(
      QStringLiteral("^[1-9][0-9]*-[1-9][0-9]*(\\.[1-9][0-9]*)*$"));
  if (!kPlace.match(QString::fromStdString(place)).hasMatch()) return std::nullopt;
  return place;
}

TelephoneAt FindTelephoneAt(usb::UsbDeviceLibrary* usb, const std::string& typed, StatusLine& out) {
  const QString shown = QString::fromLocal8Bit(typed.c_str());
  const auto place = PlaceNamed(typed);
  if (!place) {
    Say(out, QStringLiteral(
                 "--usb 需要 USB 位置（如 1-1.4，见 parlomax-cli doctor）或 sysfs 路径：%1")
                 .arg(shown));
    return {0, kFailed};
  }
  const auto attached = usb ? usb->Attached() : std::vector<usb::AttachedUsbTelephone>{};
  for (std::size_t i = 0; i < attached.size(); ++i) {
    if (usb::PlaceText(attached[i].place) == *place)
      return {static_cast<std::uint32_t>(i + 1), kDone};
  }
  Say(out,
      QStringLiteral("USB 位置 %1 上没有电话（电话已拔出？parlomax-cli doctor 列出所有电话的位置）")
          .arg(QString::fromStdString(*place)));
  return {0, kNoTelephoneOrPin};
}

}  // namespace parlomax::cli
