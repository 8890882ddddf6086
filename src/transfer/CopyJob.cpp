#include "transfer/CopyJob.h"

#include "platform/shell/MessageService.h"

namespace parlomax::transfer {

CopyJob::CopyJob(JobSetup setup) : setup_(std::move(setup)) {}

void CopyJob::Run(std::stop_token stop) {
  stop_ = std::move(stop);
  Execute();
}

CopyContext CopyJob::Context() {
  return CopyContext{setup_.link, setup_.messages, setup_.view, writer_, setup_.saveFolder,
                     [this] { return StopRequested(); }, setup_.headerPause};
}

bool CopyJob::GoesOnAfter(CopyOutcome outcome) {
  if (outcome == CopyOutcome::WriteFailed) writeFailed_ = true;
  return outcome == CopyOutcome::Copied || outcome == CopyOutcome::PayloadFailed;
}

void CopyJob::EndJob(JobKind kind, bool complete, const QString& completionMessage) {
  if (complete && !writeFailed_ && state_.LastRecordingComplete()) setup_.messages.Warn(completionMessage);
  setup_.view.EndJob(kind, StopRequested() || writeFailed_);
}

}  // namespace parlomax::transfer
