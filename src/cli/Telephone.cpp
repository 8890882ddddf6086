#include "cli/Telephone.h"

#include "cli/Interrupt.h"
#include "device/DeviceListReading.h"
#include "device/PinCheck.h"
#include "device/PinLogin.h"
#include "platform/usb/EmulatorFolder.h"

#include <algorithm>
#include <thread>

namespace parlomax::cli {
namespace {

struct CollectedRows final : catalogue::DeviceListView {
  std::vector<catalogue::DeviceListRow>& rows;
  explicit CollectedRows(std::vector<catalogue::DeviceListRow>& into) : rows(into) {}
  void Clear() override { rows.clear(); }
  void AddRow(const catalogue::DeviceListRow& row) override { rows.push_back(row); }
};

bool IsFourDigits(const QString& pin) {
  return pin.size() == 4 && std::all_of(pin.begin(), pin.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

}  // namespace

Telephone::Telephone(usb::DeviceLibrary& devices, TerminalMessages& messages, StatusLine& out)
    : out_(out), link_(devices, messages) {}

Telephone::~Telephone() { link_.CloseAtExit(); }

ExitStatus Telephone::Connect(std::uint32_t number, const PinSource& pin, std::chrono::seconds whileBusy) {
  const std::uint32_t count = link_.CountDevices();
  if (count == 0) {
    Say(out_, QStringLiteral("没有找到电话：请用 USB 线连上电话（或启动模拟电话 parlomax-phone）"));
    const auto emulators = usb::DefaultEmulatorFolder();
    std::error_code ec;
    if (std::filesystem::exists(emulators, ec) && !usb::IsPrivateFolder(emulators)) {
      Say(out_, QStringLiteral("不信任 %1 里的模拟电话：这个目录不是你自己的，或者别的用户也能写入")
                    .arg(QString::fromStdString(emulators.string())));
    }
    return kNoTelephoneOrPin;
  }
  if (number > count) {
    Say(out_, QStringLiteral("只找到 %1 部电话，没有第 %2 部").arg(count).arg(number));
    return kNoTelephoneOrPin;
  }
  const auto given = pin();
  if (const auto* status = std::get_if<ExitStatus>(&given)) return *status;
  const QString& typed = std::get<QString>(given);
  // Anything but four digits cannot be the telephone's PIN: the telephone is not asked.
  if (!IsFourDigits(typed)) {
    Say(out_, device::kWrongPinMessage + QStringLiteral("（密码须是四位数字）"));
    return kWrongPin;
  }
  if (const ExitStatus opened = Open(number, count, whileBusy); opened != kDone) return opened;
  countAtOpen_ = count;
  return LogIn(typed);
}

ExitStatus Telephone::Open(std::uint32_t number, std::uint32_t count, std::chrono::seconds whileBusy) {
  using Clock = std::chrono::steady_clock;
  const auto giveUp = Clock::now() + whileBusy;
  bool toldWaiting = false;
  usb::Status refused = usb::kSuccess;
  while (!link_.OpenDevice(number - 1, &refused)) {
    if (refused == usb::kBusy && Clock::now() < giveUp && !Interrupted()) {
      if (!toldWaiting) {
        Say(out_, QStringLiteral("另一个程序正在使用第 %1 部电话（也许是 Parlomax 窗口），等它用完再复制").arg(number));
        toldWaiting = true;
      }
      for (int i = 0; i < 30 && !Interrupted(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (link_.CountDevices() < count) {
        Say(out_, QStringLiteral("电话已断开"));
        return kTelephoneGone;
      }
      continue;
    }
    if (toldWaiting && Interrupted()) return kInterrupted;
    Say(out_,
        refused == usb::kBusy
            ? QStringLiteral(
                  "另一个程序正在使用第 %1 部电话（也许是 Parlomax 窗口或另一个 parlomax-cli），"
                  "请先关闭它再试。")
                  .arg(number)
            : QStringLiteral("无法打开第 %1 部电话（是否有权限？见 parlomax-cli(1)）").arg(number));
    return kFailed;
  }
  return kDone;
}

ExitStatus Telephone::LogIn(const QString& pin) {
  switch (device::LogIn(link_, pin, [this] { Say(out_, device::kWrongPinMessage); })) {
    case device::LoginOutcome::Accepted:
      return kDone;
    case device::LoginOutcome::Refused:
      return kWrongPin;
    case device::LoginOutcome::ExchangeFailed:
      break;
  }
  return FailureStatus();
}

bool Telephone::Gone() { return link_.CountDevices() < countAtOpen_; }

ExitStatus Telephone::FailureStatus() {
  if (!Gone()) return kFailed;
  Say(out_, QStringLiteral("电话已断开"));
  return kTelephoneGone;
}

TelephoneList Telephone::ReadList() {
  TelephoneList list;
  CollectedRows view(list.rows);
  list.read = device::ReadDeviceList(
      link_, view, [this] { return Gone(); }, [] { return Interrupted(); });
  list.count = list.read.count;
  return list;
}

}  // namespace parlomax::cli
