#pragma once

#include "platform/shell/MessageService.h"
#include "platform/shell/ThreadChannel.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <mutex>
#include <vector>

class QMessageBox;

namespace parlomax::shell {

// Message boxes on screen. Must be created on the window's thread.
//
// On that thread a box is modal and runs its own event loop, so timers keep
// ticking underneath. From any other thread the box is opened on the window's
// thread without being modal: the worker waits for the user's answer while
// the window stays usable, so a job can be cancelled while one of its
// messages is still open.
class QtMessageService final : public QObject, public MessageService {
  Q_OBJECT

 public:
  QtMessageService();
  ~QtMessageService() override;

  void Show(const QString& caption, const QString& text, MessageIcon icon) override;
  bool AskOkCancel(const QString& text) override;
  bool AskYesNo(const QString& text) override;
  bool InformWithFolder(const QString& caption, const QString& text, MessageIcon icon,
                        const QString& place, const QString& folder) override;

  // Closes every open worker box and releases the workers that wait on one;
  // later requests from workers return at once, as if the user had cancelled.
  // Call before waiting for worker threads at shut-down.
  void Shutdown();

 private:
  struct Request;
  struct Pending;
  // True when the user chose OK (or opened the folder a box offers).
  bool Run(const Request& request);
  void OpenWorkerBox(const Request& request, const std::shared_ptr<Pending>& pending);

  std::mutex mutex_;
  bool shutDown_ = false;
  std::vector<std::shared_ptr<Pending>> waiting_;
  std::vector<QPointer<QMessageBox>> workerBoxes_;  // window's thread only
  ThreadChannel channel_;
};

}  // namespace parlomax::shell
