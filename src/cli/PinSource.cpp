#include "cli/PinSource.h"

#include "cli/Interrupt.h"
#include "platform/files/SystemReason.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace parlomax::cli {
namespace {

using Kind = PinAnswer::Kind;

constexpr const char* kPinVariable = "PARLOMAX_PIN";

std::optional<std::string>& EnvironmentPin() {
  static std::optional<std::string> pin;
  return pin;
}

QString Trimmed(const std::string& text) { return QString::fromUtf8(text.c_str()).trimmed(); }

// Up to the end, or 64 bytes: a PIN file holds four digits and a line end.
bool ReadSome(int fd, std::string& into) {
  char buffer[64];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR && !Interrupted()) continue;
    if (n < 0) return false;
    into.append(buffer, static_cast<std::size_t>(n));
    if (n == 0 || into.size() >= sizeof buffer || into.find('\n') != std::string::npos) return true;
  }
}

PinAnswer FromFile(const std::filesystem::path& file) {
  const QString name = QString::fromStdString(file.string());
  // Not blocking: a pipe by that name would otherwise wait for a writer.
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return {Kind::Missing, {}, QStringLiteral("无法打开密码文件 %1：%2").arg(name, files::SystemReasonText(errno))};
  struct stat info {};
  const bool looked = ::fstat(fd, &info) == 0;
  if (looked && !S_ISREG(info.st_mode)) {
    ::close(fd);
    return {Kind::Missing, {}, QStringLiteral("密码文件 %1 不是普通文件").arg(name)};
  }
  const bool private_ = looked && (info.st_mode & (S_IRGRP | S_IROTH)) == 0;
  std::string text;
  const bool read = private_ && ReadSome(fd, text);
  ::close(fd);
  if (looked && !private_) {
    return {Kind::Refused, {}, QStringLiteral("密码文件 %1 别的用户也能读，不用它；请执行 chmod 600 %1").arg(name)};
  }
  if (!read) return {Kind::Missing, {}, QStringLiteral("无法读取密码文件 %1").arg(name)};
  return {Kind::Given, Trimmed(text), {}};
}

PinAnswer FromTerminal() {
  const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (tty < 0) {
    return {Kind::Missing, {}, QStringLiteral("没有电话密码：请用 --pin-file 文件 或环境变量 PARLOMAX_PIN 给出四位密码")};
  }
  termios saved{};
  const bool canHide = ::tcgetattr(tty, &saved) == 0;
  if (canHide) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    ::tcsetattr(tty, TCSAFLUSH, &quiet);
  }
  // A program made to end while the PIN is typed gives the terminal its echo back.
  const OnForcedExit restore([tty, saved, canHide] {
    if (canHide) ::tcsetattr(tty, TCSAFLUSH, &saved);
  });
  const std::string prompt = QStringLiteral("电话的四位密码：").toStdString();
  [[maybe_unused]] const auto written = ::write(tty, prompt.data(), prompt.size());
  std::string text;
  const bool read = ReadSome(tty, text);
  if (canHide) ::tcsetattr(tty, TCSAFLUSH, &saved);
  if (Interrupted()) {
    [[maybe_unused]] const auto n = ::write(tty, "\n", 1);
  }
  ::close(tty);
  if (Interrupted()) return {Kind::Interrupted, {}, {}};
  if (!read) return {Kind::Missing, {}, QStringLiteral("无法从终端读取密码")};
  return {Kind::Given, Trimmed(text), {}};
}

}  // namespace

void TakePinFromEnvironment() {
  if (const char* pin = std::getenv(kPinVariable)) {
    EnvironmentPin() = pin;
    ::unsetenv(kPinVariable);
  }
}

PinAnswer FindPin(const std::optional<std::filesystem::path>& pinFile) {
  if (pinFile) return FromFile(*pinFile);
  if (const auto& pin = EnvironmentPin()) return {Kind::Given, Trimmed(*pin), {}};
  return FromTerminal();
}

}  // namespace parlomax::cli
