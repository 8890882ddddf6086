// autocopy: copying what is new the moment a telephone is plugged in. udev
// has each logged-in user's manager start parlomax-autocopy@.service, which
// runs "autocopy run" for the telephone only for a user who turned it on
// here; that user then gets a notice on the desktop.
#include "cli/Cli.h"
#include "cli/Commands.h"
#include "cli/DeviceAccess.h"
#include "cli/Interrupt.h"
#include "cli/PinSource.h"
#include "cli/StandardOutput.h"
#include "cli/Telephone.h"
#include "cli/TelephonePlace.h"
#include "platform/files/KeptFile.h"
#include "platform/files/PrivateFolders.h"
#include "platform/files/SystemReason.h"
#include "platform/keyring/PinKeyring.h"
#include "platform/notify/DesktopNotice.h"
#include "transfer/RecordingsFolder.h"

#include <QCoreApplication>

#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlomax::cli {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The window may hold the telephone, or another copy the folder, for a while.
constexpr auto kLongestWait = 30min;
// How long a notice waits for a click on "open the folder".
constexpr auto kNoticeLinger = 20s;

fs::path Home() {
  const char* home = std::getenv("HOME");
  return home ? fs::path(home) : fs::path();
}

// Where the units look: %h/.config/parlomax/.
fs::path OptInFile() { return Home() / ".config/parlomax/autocopy"; }
fs::path DefaultFolder() { return Home() / transfer::kRecordingsFolderName; }

void Line(const QString& text) { WriteOut(text + u'\n'); }

// The folder the opt-in file names; nothing when it is off.
std::optional<fs::path> OptedInFolder() {
  const int fd =
      ::open(OptInFile().c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::string text(4096, '\0');
  ssize_t n = -1;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) n = ::read(fd, text.data(), text.size());
  ::close(fd);
  if (n < 0) return std::nullopt;
  text.resize(static_cast<std::size_t>(n));
  text = text.substr(0, text.find('\n'));
  return text.empty() ? DefaultFolder() : fs::path(text);
}

QString PinPlaceText(keyring::PinKeyring& keyring) {
  switch (keyring.Where()) {
    case keyring::PinPlace::Keyring:
      return QStringLiteral("保存在桌面的钥匙环里");
    case keyring::PinPlace::File:
      return QStringLiteral("保存在 %1").arg(PathText(keyring.PinFile()));
    case keyring::PinPlace::Nowhere:
      break;
  }
  return QStringLiteral(
             "没有保存：请在窗口的密码对话框里勾选“记住密码”，或把四位密码写进 %1（chmod 600）")
      .arg(PathText(keyring.PinFile()));
}

QString RuleText() {
  const std::string rule = InstalledUdevRule();
  return rule.empty()
             ? QStringLiteral("没有安装：插上电话时不会自动开始（安装 parlomax 软件包会装上它）")
             : QString::fromStdString(rule);
}

ExitStatus TurnOn(const Arguments& a, StatusLine& out) {
  const fs::path folder = a.operands.size() > 1 ? UserPath(a.operands[1]) : DefaultFolder();
  if (const int error = files::MakePrivateFolders(folder); error != 0) {
    Say(out, QStringLiteral("无法建立目录 %1：%2")
                 .arg(PathText(folder), files::SystemReasonText(error)));
    return kFailed;
  }
  const std::string line = folder.string() + "\n";
  files::KeptFile optIn;
  const bool written =
      files::MakePrivateFolders(OptInFile().parent_path()) == 0 && optIn.Create(OptInFile()) &&
      optIn.Write({reinterpret_cast<const std::uint8_t*>(line.data()), line.size()}) &&
      optIn.Finish(files::Ending::CompleteOrDiscard) == files::Placed::Target;
  if (!written) {
    Say(out, QStringLiteral("无法写入 %1：%2")
                 .arg(PathText(OptInFile()), files::SystemReasonText(optIn.Error())));
    return kFailed;
  }
  keyring::PinKeyring keyring;
  Line(QStringLiteral("已打开自动复制：以后插上电话，新的录音会复制到 %1，复制完在桌面上显示通知。")
           .arg(PathText(folder)));
  Line(QStringLiteral("电话密码：%1").arg(PinPlaceText(keyring)));
  Line(QStringLiteral("udev 规则：%1").arg(RuleText()));
  return kDone;
}

ExitStatus TurnOff(StatusLine& out) {
  std::error_code ec;
  const bool removed = fs::remove(OptInFile(), ec);
  if (ec) {
    Say(out, QStringLiteral("无法删除 %1：%2")
                 .arg(PathText(OptInFile()), files::SystemReasonText(ec.value())));
    return kFailed;
  }
  Line(removed ? QStringLiteral("已关闭自动复制：插上电话时不再复制（每晚的备份照旧）。")
               : QStringLiteral("自动复制本来就没有打开。"));
  return kDone;
}

ExitStatus ShowStatus() {
  const auto folder = OptedInFolder();
  keyring::PinKeyring keyring;
  Line(folder ? QStringLiteral("自动复制：已打开，新的录音复制到 %1").arg(PathText(*folder))
              : QStringLiteral("自动复制：没有打开（parlomax-cli autocopy on 打开）"));
  Line(QStringLiteral("电话密码：%1").arg(PinPlaceText(keyring)));
  Line(QStringLiteral("udev 规则：%1").arg(RuleText()));
  return kDone;
}

// The PIN the service was handed as a credential, else the keyring's, else
// the file's. `missing` tells the notice why nothing was copied.
Telephone::PinSource AutocopyPin(StatusLine& out, bool& missing) {
  return [&out, &missing]() -> std::variant<QString, ExitStatus> {
    if (const char* credentials = std::getenv("CREDENTIALS_DIRECTORY")) {
      const PinAnswer answer = FindPin(fs::path(credentials) / "pin");
      if (answer.kind == PinAnswer::Kind::Given && !answer.pin.isEmpty()) return answer.pin;
    }
    keyring::PinKeyring keyring;
    if (const auto pin = keyring.Load()) return *pin;
    Say(out, QStringLiteral("没有电话密码：%1").arg(PinPlaceText(keyring)));
    missing = true;
    return kNoTelephoneOrPin;
  };
}

// What the user is told on the desktop; nothing when there was nothing new.
std::optional<notify::Notice> NoticeFor(ExitStatus status, const CopyTally& tally, bool pinMissing,
                                        const fs::path& folder) {
  const QString where = PathText(folder);
  const QString log = QStringLiteral("详情：journalctl --user -u 'parlomax-autocopy@*'");
  switch (status) {
    case kDone:
      if (tally.copied == 0) return std::nullopt;
      return notify::Notice{QStringLiteral("复制了 %1 个新录音").arg(tally.copied),
                            QStringLiteral("保存在 %1").arg(where), folder};
    case kInterrupted:
      return std::nullopt;  // stopped on purpose: the user logged out or shut down
    case kWrongPin:
      return notify::Notice{
          QStringLiteral("没有复制录音：电话密码错误"),
          QStringLiteral(
              "请在 Parlomax 窗口里用正确的密码登录并勾选“记住密码”，然后重新插上电话。"),
          {},
          true};
    case kTelephoneGone:
      return notify::Notice{
          QStringLiteral("复制中止：电话已拔出"),
          QStringLiteral("已复制 %1 个新录音到 %2；没复制完的录音保留了已收到的部分。"
                         "重新插上电话会接着复制。")
              .arg(tally.copied)
              .arg(where),
          tally.copied > 0 ? folder : fs::path(), true};
    case kNoTelephoneOrPin:
      if (pinMissing) {
        return notify::Notice{
            QStringLiteral("没有复制录音：没有保存电话密码"),
            QStringLiteral("请在 Parlomax 窗口登录时勾选“记住密码”，然后重新插上电话。"),
            {},
            true};
      }
      return notify::Notice{QStringLiteral("没有复制录音：找不到电话"),
                            QStringLiteral("电话也许已经拔出。请重新插上电话。") + log,
                            {},
                            true};
    default:
      break;
  }
  return notify::Notice{
      QStringLiteral("复制录音失败"),
      QStringLiteral("已复制 %1 个新录音到 %2，%3 个没有复制成功。磁盘是否已满，目录能否写入？%4")
          .arg(tally.copied)
          .arg(tally.notCopied)
          .arg(where, log),
      tally.copied > 0 ? folder : fs::path(), true};
}

ExitStatus Run(const Arguments& a, CliPlatform& platform, StatusLine& out) {
  const auto folder = OptedInFolder();
  if (!folder) {
    Say(out, QStringLiteral("自动复制没有打开，什么也没有做（parlomax-cli autocopy on 打开）"));
    return kDone;
  }
  Arguments copy;
  copy.command = Command::Copy;
  copy.operands = {folder->string()};
  copy.newOnly = true;
  copy.quiet = a.quiet;
  copy.waitForFolder = kLongestWait;
  copy.waitForTelephone = kLongestWait;
  const TelephoneAt at = FindTelephoneAt(platform.usb, a.operands[1], out);
  CopyTally tally;
  bool pinMissing = false;
  ExitStatus status = at.refused;
  if (status == kDone) {
    TerminalMessages messages(out, false);
    Telephone telephone(platform.devices, messages, out);
    status = telephone.Connect(at.number, AutocopyPin(out, pinMissing), copy.waitForTelephone);
    if (status == kDone) status = RunCopy(telephone, copy, out, messages, &tally);
  }
  if (const auto notice = NoticeFor(status, tally, pinMissing, *folder)) {
    if (!notify::ShowNotice(*notice, kNoticeLinger))
      Say(out, QStringLiteral("桌面通知没有发出：没有通知服务回答"));
  }
  return status;
}

}  // namespace

ExitStatus RunAutocopy(const Arguments& a, CliPlatform& platform, StatusLine& out) {
  // The keyring and the notice speak D-Bus, which wants an application object.
  std::unique_ptr<QCoreApplication> application;
  static int argc = 1;
  static char name[] = "parlomax-cli";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) application = std::make_unique<QCoreApplication>(argc, argv);
  const std::string& what = a.operands[0];
  if (what == "on") return TurnOn(a, out);
  if (what == "off") return TurnOff(out);
  if (what == "status") return ShowStatus();
  return Run(a, platform, out);
}

}  // namespace parlomax::cli
