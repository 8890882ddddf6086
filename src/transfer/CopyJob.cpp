#include "transfer/CopyJob.h"

#include "platform/shell/MessageService.h"

namespace parlomax::transfer {

CopyJob::CopyJob(JobSetup setup) : setup_(std::move(setup)) {}

CopyContext CopyJob::Context() {
  return CopyContext{setup_.link, setup_.messages, setup_.view, writer_, setup_.saveFolder,
                     [this] { return StopRequested(); }, setup_.headerPause};
}

void CopyJob::EndJob(JobKind kind, bool complete, const QString& completionMessage) {
  if (complete && state_.LastRecordingComplete()) setup_.messages.Warn(completionMessage);
  setup_.view.EndJob(kind, setup_.generation, StopRequested());
}

}  // namespace parlomax::transfer
