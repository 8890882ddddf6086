// doctor: what a person runs when the telephone does not show up. Every
// step between the cable and a telephone that answers, each with what it
// found and, where it failed, what mends it. The PIN is never asked for and
// never printed.
#include "cli/Cli.h"
#include "cli/Commands.h"
#include "cli/DeviceAccess.h"
#include "cli/Interrupt.h"
#include "cli/StandardOutput.h"
#include "platform/sound/AudioOutput.h"
#include "platform/usb/EmulatorDeviceLibrary.h"
#include "platform/usb/EmulatorFolder.h"
#include "platform/usb/UsbDeviceLibrary.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace parlomax::cli {
namespace {

// One line of the report, on standard output.
void Line(const QString& text = {}) { WriteOut(text + u'\n'); }

QString Hex(unsigned value, int digits) { return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')); }

QString AnswerText(usb::RequestAnswer answer) {
  switch (answer) {
    case usb::RequestAnswer::Accepted: return QStringLiteral("接受");
    case usb::RequestAnswer::Stalled: return QStringLiteral("STALL（不认识这个请求）");
    case usb::RequestAnswer::Failed: return QStringLiteral("出错");
  }
  return {};
}

QString ChipText(const usb::OpenReport& report) {
  const QString part = report.partNumber ? QStringLiteral("型号请求回答 0x%1").arg(Hex(*report.partNumber, 2))
                                         : QStringLiteral("型号请求：%1").arg(AnswerText(report.partNumberAnswer));
  if (report.chip) return QStringLiteral("%1（%2）").arg(QString::fromUtf8(report.chip->kind.data(), report.chip->kind.size()), part);
  return QStringLiteral("认不出是哪一种（%1），两种芯片的打开请求都发了").arg(part);
}

// Sends the PIN request and reads its reply, without looking at the digits.
bool Answers(usb::DeviceLibrary& library, usb::DeviceHandle handle) {
  library.SetTimeouts(3000, 3000);
  const std::uint8_t readPin[8] = {4, 0, 0, 0, 0, 0, 0, 0};
  std::uint8_t reply[4] = {};
  std::uint32_t n = 0;
  const bool answered = library.Write(handle, readPin, 8, n) == usb::kSuccess &&
                        library.Read(handle, reply, 4, n) == usb::kSuccess && n == 4;
  std::fill(std::begin(reply), std::end(reply), 0);
  return answered;
}

QString OpenFailureText(usb::Status status) {
  switch (status) {
    case usb::kAccessDenied: return QStringLiteral("没有权限打开");
    case usb::kNoDevice: return QStringLiteral("设备已经不在了");
    case usb::kBusy: return QStringLiteral("另一个程序正在使用它；请关掉那个程序（也许是另一个 Parlomax）再试");
    default: return QStringLiteral("无法占用它的接口 0，或者它没有一对批量端点（是别的设备吗？）");
  }
}

// Every telephone on the cable; how many opened and answered.
int CheckUsbTelephones(usb::UsbDeviceLibrary& usb) {
  const auto attached = usb.Attached();
  if (attached.empty()) {
    Line(QStringLiteral("USB：没有找到 ID 为 10c4:ea61 的设备。请检查 USB 线，并把电话开机。"));
    return 0;
  }
  int working = 0;
  for (std::size_t i = 0; i < attached.size(); ++i) {
    const auto& t = attached[i];
    Line(QStringLiteral("USB 电话 %1：%2:%3，位置 %4（总线 %5，设备 %6），设备节点 %7")
             .arg(i + 1)
             .arg(Hex(t.vendorId, 4), Hex(t.productId, 4), QString::fromStdString(usb::PlaceText(t.place)))
             .arg(t.place.bus)
             .arg(t.place.address)
             .arg(QString::fromStdString(t.deviceNode)));
    const DeviceAccess access = CheckDeviceAccess(t.deviceNode);
    Line(access.mayOpen ? QStringLiteral("  权限：当前用户可以打开") : QStringLiteral("  权限：") + access.why);
    for (const QString& fix : access.fix) Line(QStringLiteral("    ") + fix);
    const std::string driver = usb::KernelDriverOfFirstInterface(t.place);
    Line(driver.empty() ? QStringLiteral("  内核驱动：没有驱动占用接口 0")
                        : QStringLiteral("  内核驱动：接口 0 由 %1 占用（打开时会暂时卸下它）").arg(QString::fromStdString(driver)));
    usb::OpenReport report;
    usb::DeviceHandle handle = 0;
    if (usb.OpenAndReport(static_cast<std::uint32_t>(i), handle, report) != usb::kSuccess) {
      Line(QStringLiteral("  打开：失败，%1").arg(OpenFailureText(report.status)));
      continue;
    }
    Line(QStringLiteral("  芯片：") + ChipText(report));
    for (const auto& [request, answer] : report.opens) {
      Line(QStringLiteral("  打开请求 %1 %2 %3：%4")
               .arg(Hex(request.requestType, 2), Hex(request.request, 2), Hex(request.value, 4), AnswerText(answer)));
    }
    const bool answers = Answers(usb, handle);
    Line(answers ? QStringLiteral("  应答：电话回答了密码请求（密码不显示）")
                 : QStringLiteral("  应答：电话没有回答密码请求。请把电话关机再开机，重新插上 USB 线"));
    usb.Close(handle);
    working += answers ? 1 : 0;
  }
  return working;
}

// Every running emulator; how many opened and answered. `anyRunning` is set
// when there was one at all.
int CheckEmulators(bool& anyRunning) {
  const auto folder = usb::DefaultEmulatorFolder();
  const QString where = QString::fromStdString(folder.string());
  std::error_code ec;
  if (std::filesystem::exists(folder, ec) && !usb::IsPrivateFolder(folder)) {
    Line(QStringLiteral("模拟电话：不信任 %1（不是你自己的目录，或者别的用户也能写入）").arg(where));
    return 0;
  }
  usb::EmulatorDeviceLibrary emulators(folder);
  const auto running = usb::RunningEmulators(folder);
  if (running.empty()) {
    Line(QStringLiteral("模拟电话：%1 里没有正在运行的模拟电话").arg(where));
    return 0;
  }
  anyRunning = true;
  int working = 0;
  for (std::size_t i = 0; i < running.size(); ++i) {
    usb::DeviceHandle handle = 0;
    const usb::Status opened = emulators.Open(static_cast<std::uint32_t>(i), handle);
    const bool answers = opened == usb::kSuccess && Answers(emulators, handle);
    if (handle != 0) emulators.Close(handle);
    Line(QStringLiteral("模拟电话 %1（%2 里的第 %3 号）：%4")
             .arg(i + 1)
             .arg(where)
             .arg(running[i])
             .arg(answers                ? QStringLiteral("回答了密码请求")
                  : opened == usb::kBusy ? OpenFailureText(opened)
                                         : QStringLiteral("没有回答")));
    working += answers ? 1 : 0;
  }
  return working;
}

// Where PATH finds `name`, or "" when it does not.
std::string OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "";
  for (std::size_t start = 0; start <= folders.size();) {
    const std::size_t end = std::min(folders.find(':', start), folders.size());
    const std::string candidate = (end > start ? folders.substr(start, end - start) : ".") + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

void CheckDecoder(const std::string& program) {
  const bool found = program.find('/') != std::string::npos ? ::access(program.c_str(), X_OK) == 0
                                                            : !OnPath(program).empty();
  Line(found ? QStringLiteral("解码程序：%1").arg(QString::fromStdString(program))
             : QStringLiteral("解码程序：找不到 %1，无法播放和转换").arg(QString::fromStdString(program)));
}

// The sound output is tried by a process of its own: a sound library that
// crashes or hangs on a broken setup must not take the report with it.
constexpr int kSoundProbeSeconds = 5;

void CheckSound() {
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
  // What the sound libraries say on the way is theirs; the answer is ours.
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string self = "/proc/self/exe";
  std::string probe = kSoundProbeArgument;
  char* argv[] = {self.data(), probe.data(), nullptr};
  pid_t pid = 0;
  const bool started = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe[1]);
  // Stopped while the probe hangs in a sound library, the doctor must not
  // leave it behind.
  std::atomic<bool> probing{started};
  const OnForcedExit endProbe([&probing, pid] {
    if (probing) ::kill(pid, SIGKILL);
  });
  std::string said;
  pollfd wait{pipe[0], POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kSoundProbeSeconds);
  while (started) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || ::poll(&wait, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[512];
    const ssize_t n = ::read(pipe[0], buffer, sizeof buffer);
    if (n <= 0) break;
    said.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(pipe[0]);
  int status = 0;
  pid_t ended = 0;
  while (started && (ended = ::waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (started && ended == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  probing = false;
  // A probe cut short by Ctrl+C says nothing about the sound system.
  if (Interrupted()) return;
  if (started && ended == 0) {
    Line(QStringLiteral("声音输出：%1 秒内没有打开，声音系统可能卡住了").arg(kSoundProbeSeconds));
    return;
  }
  if (!started || ended < 0 || !WIFEXITED(status)) {
    Line(QStringLiteral("声音输出：检查时声音库出错，不能播放"));
    return;
  }
  if (WEXITSTATUS(status) == 0) {
    Line(QStringLiteral("声音输出：可以打开"));
    return;
  }
  // What to do first, in the user's words; the library's own after it for
  // whoever helps them.
  Line(QStringLiteral("声音输出：无法打开，不能播放。请启动声音服务（systemctl --user start "
                      "pipewire-pulse，或 pulseaudio --start），再用 pactl info 检查能否连上。"
                      "声音库说：%1")
           .arg(QString::fromUtf8(said.c_str()).trimmed()));
}

}  // namespace

int ProbeSound(sound::AudioOutputFactory& sound) {
  const sound::OpenedOutput opened = sound.Open("Parlomax");
  if (opened.error.empty()) return 0;
  WriteOut(QByteArray::fromStdString(opened.error));
  return 1;
}

ExitStatus RunDoctor(CliPlatform& platform) {
  const int onCable = platform.usb ? CheckUsbTelephones(*platform.usb) : 0;
  // A telephone that is there but will not answer (held by another
  // program, say) is not a telephone that was not found.
  bool anyEmulated = false;
  const bool anyOnCable = platform.usb && !platform.usb->Attached().empty();
  const int emulated = CheckEmulators(anyEmulated);
  CheckDecoder(platform.decoderProgram);
  if (platform.sound) CheckSound();
  if (Interrupted()) return kInterrupted;
  if (onCable + emulated > 0) {
    Line(QStringLiteral("结论：有电话可以使用。"));
    return kDone;
  }
  Line(anyOnCable || anyEmulated
           ? QStringLiteral("结论：电话连着，但不能使用；请照上面的说明处理。")
           : QStringLiteral("结论：没有找到电话。"));
  return anyOnCable || anyEmulated ? kFailed : kNoTelephoneOrPin;
}

}  // namespace parlomax::cli
