#include "transfer/CopyJob.h"

#include "device/DeviceLink.h"
#include "platform/files/PathText.h"
#include "platform/shell/MessageService.h"
#include "transfer/FolderLock.h"

#include <unistd.h>

namespace parlomax::transfer {
namespace {

// Longer than any exchange with a telephone takes to fail.
constexpr std::chrono::seconds kOwnJobsEnd{30};

}  // namespace

CopyJob::CopyJob(JobSetup setup) : setup_(std::move(setup)) {}

void CopyJob::Run(std::stop_token stop) {
  stop_ = std::move(stop);
  const auto& text = setup_.saveFolder;
  const std::filesystem::path folder = text.has_parent_path() ? text.parent_path() : ".";
  folderPath_ = folder;
  // Two copies filling one folder (the copy on plug-in, parlomax-cli) would
  // place their files by what each read of the other's half-done ones. A
  // folder where no lock can be made is left to the copy to fail in.
  FolderLock lock = FolderLock::TryLock(folder);
  if (lock.GetState() == FolderLock::State::Busy && lock.Holder() == ::getpid()) {
    // A job of this window that was stopped and has yet to notice: it ends
    // at its next exchange.
    lock = FolderLock::Lock(folder, std::chrono::steady_clock::now() + kOwnJobsEnd, stop_);
    if (lock.GetState() == FolderLock::State::Stopped) return;
  }
  if (lock.GetState() == FolderLock::State::Busy) {
    setup_.messages.Warn(
        QStringLiteral("%1正在向 %2 复制；同一个目录一次只能有一个复制，请等它完成再上传。")
            .arg(HolderText(lock), files::PathText(folder)));
    setup_.view.EndJob(Kind(), true);
    return;
  }
  folder_.emplace(setup_.saveFolder);
  Execute();
}

CopyContext& CopyJob::Context() {
  if (!context_) {
    context_.emplace(CopyContext{setup_.link, setup_.messages, setup_.view, writer_, *folder_,
                                 [this] { return StopRequested(); }, setup_.headerPause});
    const usb::DeviceSource source = setup_.link.Source();
    context_->source = {source.place, source.chip};
  }
  return *context_;
}

bool CopyJob::GoesOnAfter(CopyOutcome outcome) {
  if (outcome == CopyOutcome::WriteFailed) writeFailed_ = true;
  if (outcome == CopyOutcome::PayloadFailed) ++notWhole_;
  if ((outcome == CopyOutcome::Copied || outcome == CopyOutcome::PayloadFailed) &&
      state_.tookNewName && newNames_++ == 0) {
    firstNewName_ = state_.savedAs;
  }
  return outcome == CopyOutcome::Copied || outcome == CopyOutcome::PayloadFailed ||
         outcome == CopyOutcome::LeftOut;
}

void CopyJob::EndJob(JobKind kind, bool complete, const QString& completionMessage) {
  if (context_) FinishLedger(*context_);
  QString message;
  // "All copied" makes a person clear the telephone: it is said only when true.
  if (complete && !writeFailed_)
    message = notWhole_ == 0 ? completionMessage : NotCopiedWholeText(notWhole_);
  // Where a call went is said however the job ended.
  if (newNames_ > 0)
    message += (message.isEmpty() ? QString() : QStringLiteral("\n")) +
               NewNamesText(newNames_, firstNewName_);
  // Said with the folder the files went to, which the box offers to open.
  if (!message.isEmpty()) setup_.messages.WarnWithFolder(message, files::PathText(folderPath_));
  setup_.view.EndJob(kind, StopRequested() || writeFailed_);
}

}  // namespace parlomax::transfer
