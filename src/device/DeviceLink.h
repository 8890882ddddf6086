#pragma once

#include "device/Command.h"
#include "device/PinLogin.h"
#include "platform/shell/MessageService.h"
#include "platform/usb/DeviceLibrary.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>

namespace parlomax::device {

inline const QString kWriteFailedMessage = QStringLiteral("USB写命令错误");
inline const QString kReadFailedMessage = QStringLiteral("USB读数据错误");
inline constexpr std::uint32_t kDeviceTimeoutMs = 10000;

// What happens to the command frame's other bytes before a command is built.
enum class FramePreparation {
  // The list and the login set only the command's own bytes; the rest still
  // holds whatever the last reply left there.
  KeepOtherBytes,
  // The copy jobs zero all 64 bytes first.
  ClearWholeFrame,
};

// The program's one connection to the telephone.
//
// What the link knows of the telephone (attached, open, logged in) changes
// only through the steps below and is read from the window's thread and
// from a copy job's thread, hence atomic. The two exchange buffers are
// shared by every exchange, so exchanges are serialised: a second caller
// waits until the first has its reply (or its failure), never longer than
// one device time-out. No lock is held while a message box is open.
class DeviceLink {
 public:
  DeviceLink(usb::DeviceLibrary& library, shell::MessageService& messages);

  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  // Whether the connection watch last counted a telephone.
  bool DeviceAttached() const { return deviceAttached_; }
  bool DeviceOpen() const { return deviceOpen_; }
  bool LoggedIn() const { return loggedIn_; }
  // 0 until the first successful open; never reset, so the handle of the
  // last open is the one flushed and closed at exit.
  usb::DeviceHandle DeviceHandle() const { return deviceHandle_; }
  // Where the open telephone is, as far as its library can tell.
  usb::DeviceSource Source() const { return library_.Describe(deviceHandle_); }

  // The connection watch counted a telephone.
  void TelephoneSeen() { deviceAttached_ = true; }
  // The connection watch counted none: neither attached, nor open, nor
  // logged in. The handle is kept for the close at exit.
  void TelephoneLost();
  // The window starts afresh: neither open nor logged in, whatever came
  // before; attached stays as the watch last saw it.
  void StartAfresh();
  // A refused PIN or a cancelled PIN dialog ends any earlier login.
  void LogOut() { loggedIn_ = false; }

  // Attached telephones as the library counts them; a failed count is none.
  std::uint32_t CountDevices();
  // Sets both time-outs to 10 s and opens device 0. Success stores the
  // handle and counts as open; a failure is silent and changes nothing but
  // `why`, when given.
  bool OpenFirstDevice(usb::Status* why = nullptr);
  // The same for the telephone of that number (0 is the first one counted).
  bool OpenDevice(std::uint32_t deviceNumber, usb::Status* why = nullptr);
  // Purges whatever the telephone or the library still holds for us.
  void Flush();
  // A link that failed is let go: flushed and closed, neither open nor
  // logged in, so the next open starts clean (a telephone serves one
  // program, and one handle, at a time). Nothing is left to close at exit.
  void Release();
  // At exit: flush and close the handle of the last open, if any open ever
  // succeeded; otherwise the library is not touched.
  void CloseAtExit();

  // One command and its reply. A failed write shows "USB写命令错误" and
  // reads nothing; a failed read, a reply shorter than the command's reply
  // size included, shows "USB读数据错误". On success the reply-size bytes of
  // the reply buffer are copied to `reply` (as many as fit). `pauseBeforeReply` gives a slow telephone time to
  // find a recording before its reply is read; `afterWrite` runs once the
  // command has gone out, before the reply is read.
  bool Exchange(const Command& command, FramePreparation preparation, std::span<std::uint8_t> reply,
                std::chrono::milliseconds pauseBeforeReply = std::chrono::milliseconds{0},
                const std::function<void()>& afterWrite = {});

 private:
  enum class Outcome { Done, WriteFailed, ReadFailed };
  Outcome ExchangeLocked(const Command& command, FramePreparation preparation,
                         std::span<std::uint8_t> reply, std::chrono::milliseconds pauseBeforeReply,
                         const std::function<void()>& afterWrite);
  usb::Status SendCommand(const Command& command, FramePreparation preparation);
  usb::Status ReadReply(const Command& command);
  // Only the login, once the telephone's PIN matched the typed one.
  friend LoginOutcome LogIn(DeviceLink& link, const QString& typed, const std::function<void()>& tellRefused);
  void LoginAccepted() { loggedIn_ = true; }

  usb::DeviceLibrary& library_;
  shell::MessageService& messages_;
  std::atomic<usb::DeviceHandle> deviceHandle_{0};
  std::atomic<bool> deviceAttached_{false};
  std::atomic<bool> deviceOpen_{false};
  std::atomic<bool> loggedIn_{false};
  std::mutex exchangeMutex_;
  FrameBytes CommandFrame{};
  PayloadBytes PayloadBuffer{};
};

}  // namespace parlomax::device
