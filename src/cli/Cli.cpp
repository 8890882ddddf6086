#include "cli/Cli.h"

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/PinSource.h"
#include "cli/StandardOutput.h"
#include "cli/Telephone.h"
#include "cli/TelephonePlace.h"
#include "platform/files/SystemReason.h"

#include <QFile>

#include <cerrno>

#include <unistd.h>

namespace parlomax::cli {
namespace {

Telephone::PinSource PinFrom(const Arguments& a, StatusLine& out) {
  return [&a, &out]() -> std::variant<QString, ExitStatus> {
    const PinAnswer answer = FindPin(a.pinFile ? std::optional<std::filesystem::path>(UserPath(*a.pinFile)) : std::nullopt);
    switch (answer.kind) {
      case PinAnswer::Kind::Given:
        return answer.pin;
      case PinAnswer::Kind::Interrupted:
        return kInterrupted;
      case PinAnswer::Kind::Missing:
      case PinAnswer::Kind::Refused:
        break;
    }
    Say(out, answer.problem);
    return kNoTelephoneOrPin;
  };
}

ExitStatus WithTelephone(const Arguments& a, CliPlatform& platform, StatusLine& out, TerminalMessages& messages) {
  if (a.command == Command::Export) {
    if (const ExitStatus refused = CheckExportTarget(a, out); refused != kDone) return refused;
  }
  std::uint32_t number = a.device;
  if (a.usbPlace) {
    const TelephoneAt at = FindTelephoneAt(platform.usb, *a.usbPlace, out);
    if (at.refused != kDone) return at.refused;
    number = at.number;
  }
  Telephone telephone(platform.devices, messages, out);
  if (const ExitStatus connected = telephone.Connect(number, PinFrom(a, out)); connected != kDone) return connected;
  switch (a.command) {
    case Command::List:
      return RunList(telephone, a, out);
    case Command::Copy:
      return RunCopy(telephone, a, out, messages);
    case Command::Export:
      return RunExport(telephone, a, out, messages, platform.automation);
    case Command::Verify:
      return RunVerify(a, out, &telephone);
    default:
      return kFailed;
  }
}

ExitStatus RunCommand(const Arguments& a, CliPlatform& platform, StatusLine& out) {
  if (a.help) {
    WriteOut(HelpText(a.command));
    return kDone;
  }
  if (a.version) {
    WriteOut(QStringLiteral("parlomax-cli " PARLOMAX_VERSION "\n"));
    return kDone;
  }
  CatchInterrupts();
  TerminalMessages messages(out, a.force);
  if (a.command == Command::Convert) return RunConvert(a, out, platform.decoderProgram);
  if (a.command == Command::Find) return RunFind(a, out);
  if (a.command == Command::Doctor) return RunDoctor(platform);
  if (a.command == Command::Autocopy) return RunAutocopy(a, platform, out);
  if (a.command == Command::Verify && !a.telephone) return RunVerify(a, out, nullptr);
  return WithTelephone(a, platform, out, messages);
}

}  // namespace

std::filesystem::path UserPath(const std::string& typed) {
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(typed, ec);
  return ec ? std::filesystem::path(typed) : absolute.lexically_normal();
}

QString PathText(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

int RunCli(const std::vector<std::string>& words, CliPlatform& platform) {
  const ParsedArguments parsed = ParseArguments(words);
  StatusLine out(::isatty(STDERR_FILENO) == 1);
  if (!parsed.error.isEmpty()) {
    Say(out, parsed.error);
    out.Print(QStringLiteral("用法见 parlomax-cli --help"));
    return kFailed;
  }
  const ExitStatus status = RunCommand(parsed.arguments, platform, out);
  // A result nobody could read is no result, whatever the command made of it.
  if (const int error = StandardOutputError(); error != 0) {
    Say(out, QStringLiteral("无法写出结果：%1")
                 .arg(error == EBADF ? QStringLiteral("标准输出已经关闭")
                                     : files::SystemReasonText(error)));
    return status == kInterrupted ? kInterrupted : kFailed;
  }
  return status;
}

}  // namespace parlomax::cli
