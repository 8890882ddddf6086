#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

class QSocketNotifier;

namespace parlomax::shell {

// Hands work from any thread to the thread that owns the channel (the
// window's), to be run there in the order it was handed over. The sender
// never waits for the receiver.
//
// The hand-over is a queue under a standard mutex plus an eventfd that wakes
// the receiving thread's event loop. Qt's own queued calls would do the same
// job, but their locking is invisible to ThreadSanitizer (Qt is not built
// with it), which would then report every hand-over as a data race and bury
// any real one.
class ThreadChannel final : public QObject {
  Q_OBJECT

 public:
  // Must be created on the receiving thread.
  explicit ThreadChannel(QObject* parent = nullptr);
  ~ThreadChannel() override;

  void Post(std::function<void()> work);
  // Runs whatever has been handed over so far; on the receiving thread only.
  void RunPending();

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> pending_;
  int wakeFd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace parlomax::shell
