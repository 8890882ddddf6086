#include "platform/shell/QtMessageService.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QUrl>

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
  // A folder the box offers to open; then opening it is what "go ahead" means.
  QString folder = {};

  QMessageBox* MakeBox() const {
    auto* box = new QMessageBox(icon, caption, text, buttons);
    if (!folder.isEmpty()) {
      box->addButton(kOpenFolderCaption, QMessageBox::ActionRole);
      // Esc still closes the box, as it closes one with OK alone.
      box->setEscapeButton(box->button(QMessageBox::Ok));
    }
    return box;
  }
  // Whether the closed box's answer is "go ahead"; opens the folder if that
  // is what was chosen.
  bool Answered(const QMessageBox& box) const {
    const QAbstractButton* clicked = box.clickedButton();
    if (folder.isEmpty()) return clicked != nullptr && clicked == box.button(yes);
    if (clicked == nullptr ||
        box.buttonRole(const_cast<QAbstractButton*>(clicked)) != QMessageBox::ActionRole)
      return false;
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    return true;
  }
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

bool QtMessageService::InformWithFolder(const QString& caption, const QString& text,
                                        MessageIcon icon, const QString& place,
                                        const QString& folder) {
  return Run(Request{caption, WithPlace(text, place), ToQtIcon(icon), QMessageBox::Ok,
                     QMessageBox::Ok, folder});
}

bool QtMessageService::Run(const Request& request) {
  if (QThread::currentThread() == thread()) {
    const std::unique_ptr<QMessageBox> box(request.MakeBox());
    box->exec();
    return request.Answered(*box);
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
  auto* box = request.MakeBox();
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  connect(box, &QDialog::finished, box,
          [box, pending, request] { pending->Finish(request.Answered(*box)); });
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
