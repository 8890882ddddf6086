#include "platform/shell/QtMessageService.h"

#include <QMessageBox>
#include <QThread>

#include <algorithm>
#include <condition_variable>

namespace parlomax::shell {

struct QtMessageService::Request {
  QString caption;
  QString text;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
  // The button that means "go ahead".
  QMessageBox::StandardButton yes = QMessageBox::Ok;
};

struct QtMessageService::Pending {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool ok = false;

  void Finish(bool chosenOk) {
    std::lock_guard lock(mutex);
    if (finished) return;
    finished = true;
    ok = chosenOk;
    done.notify_all();
  }
  bool Wait() {
    std::unique_lock lock(mutex);
    done.wait(lock, [this] { return finished; });
    return ok;
  }
};

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Error:
      return QMessageBox::Critical;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QtMessageService::QtMessageService() = default;

QtMessageService::~QtMessageService() { Shutdown(); }

void QtMessageService::Show(const QString& caption, const QString& text, MessageIcon icon) {
  Run(Request{caption, text, ToQtIcon(icon), QMessageBox::Ok});
}

bool QtMessageService::AskOkCancel(const QString& text) {
  return Run(Request{kQuestionCaption, text, QMessageBox::Warning,
                     QMessageBox::Ok | QMessageBox::Cancel});
}

bool QtMessageService::AskYesNo(const QString& text) {
  return Run(Request{kQuestionCaption, text, QMessageBox::Question,
                     QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes});
}

bool QtMessageService::Run(const Request& request) {
  if (QThread::currentThread() == thread()) {
    QMessageBox box(request.icon, request.caption, request.text, request.buttons);
    return box.exec() == request.yes;
  }
  auto pending = std::make_shared<Pending>();
  {
    std::lock_guard lock(mutex_);
    if (shutDown_) return false;
    waiting_.push_back(pending);
  }
  channel_.Post([this, request, pending] { OpenWorkerBox(request, pending); });
  const bool ok = pending->Wait();
  std::lock_guard lock(mutex_);
  std::erase(waiting_, pending);
  return ok;
}

void QtMessageService::OpenWorkerBox(const Request& request,
                                     const std::shared_ptr<Pending>& pending) {
  {
    std::lock_guard lock(mutex_);
    if (shutDown_) return;  // the worker has been released already
  }
  auto* box = new QMessageBox(request.icon, request.caption, request.text, request.buttons);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  connect(box, &QDialog::finished, box, [box, pending, yes = request.yes] {
    pending->Finish(box->clickedButton() == box->button(yes));
  });
  // A box that goes away without an answer must not leave its worker waiting.
  connect(box, &QObject::destroyed, [pending] { pending->Finish(false); });
  std::erase_if(workerBoxes_, [](const QPointer<QMessageBox>& b) { return b.isNull(); });
  workerBoxes_.emplace_back(box);
  box->show();
}

void QtMessageService::Shutdown() {
  std::vector<std::shared_ptr<Pending>> waiting;
  {
    std::lock_guard lock(mutex_);
    shutDown_ = true;
    waiting = waiting_;
  }
  for (auto& pending : waiting) pending->Finish(false);
  if (QThread::currentThread() == thread()) {
    for (auto& box : workerBoxes_) delete box.data();
    workerBoxes_.clear();
  }
}

}  // namespace parlomax::shell
