#include "transfer/CopyJob.h"

#include "device/DeviceLink.h"
#include "platform/shell/MessageService.h"

namespace parlomax::transfer {

CopyJob::CopyJob(JobSetup setup) : setup_(std::move(setup)) {}

void CopyJob::Run(std::stop_token stop) {
  stop_ = std::move(stop);
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
  return outcome == CopyOutcome::Copied || outcome == CopyOutcome::PayloadFailed;
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
  if (!message.isEmpty()) setup_.messages.Warn(message);
  setup_.view.EndJob(kind, StopRequested() || writeFailed_);
}

}  // namespace parlomax::transfer
