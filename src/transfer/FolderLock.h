#pragma once

#include <QString>

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>

namespace parlomax::transfer {

class FolderLock;
// Who holds a busy lock, as a person reads it: the program's name and its
// process number, where the holder said.
QString HolderText(const FolderLock& lock);

// Never two copies into one folder at once: whoever copies holds an advisory
// lock on "<folder>/.parlomax/lock" (flock, so the kernel lets it go when the
// holder ends, however it ends). The holder writes its process number into
// the file, so that a refused copy can say who is at it, and removes the file
// (and the corner, when empty) as it lets go.
class FolderLock {
 public:
  enum class State {
    Held,      // this object holds the lock
    Busy,      // someone else holds it (and kept it past the deadline)
    Stopped,   // a stop was asked for while waiting
    Failed,    // the lock file could not be made or opened: Error() says why
    Released,  // held, and let go
  };

  FolderLock() = default;
  ~FolderLock();
  FolderLock(FolderLock&& other) noexcept;
  FolderLock& operator=(FolderLock&& other) noexcept;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // One try: Held or Busy (or Failed).
  static FolderLock TryLock(const std::filesystem::path& folder);
  // Tries again every `retry` until the lock is taken, `deadline` passes or
  // `stop` is asked.
  static FolderLock Lock(const std::filesystem::path& folder,
                         std::chrono::steady_clock::time_point deadline, std::stop_token stop = {},
                         std::chrono::milliseconds retry = std::chrono::milliseconds(200));
  // The same, for a caller whose stop is a question (a signal's flag).
  static FolderLock Lock(const std::filesystem::path& folder,
                         std::chrono::steady_clock::time_point deadline,
                         const std::function<bool()>& stopAsked,
                         std::chrono::milliseconds retry = std::chrono::milliseconds(200));

  State GetState() const { return state_; }
  bool IsHeld() const { return state_ == State::Held; }
  int Error() const { return error_; }
  // When Busy: the process that holds the lock, if it said.
  std::optional<pid_t> Holder() const { return holder_; }

  // Lets the lock go at once (the destructor does too).
  void Release();
  // Removes the lock's files as Release() does, but leaves the lock to the
  // kernel: for a process that is about to end without unwinding.
  void RemoveFilesAtExit() const;

  // "<folder>/.parlomax": the program's own corner of a folder, 0700.
  static std::filesystem::path CornerOf(const std::filesystem::path& folder);

 private:
  static FolderLock TryOnce(const std::filesystem::path& folder);

  std::filesystem::path folder_;
  int fd_ = -1;
  State state_ = State::Failed;
  int error_ = 0;
  std::optional<pid_t> holder_;
};

}  // namespace parlomax::transfer
