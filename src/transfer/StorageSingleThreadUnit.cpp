#include "transfer/StorageSingleThreadUnit.h"

#include "device/DeviceLink.h"

namespace parlomax::transfer {

TStorageSingleThread::TStorageSingleThread(JobSetup setup, std::vector<std::uint16_t> recordIndexes)
    : CopyJob(std::move(setup)), recordIndexes_(std::move(recordIndexes)) {}

void TStorageSingleThread::Execute() {
  if (!setup_.link.LoggedIn()) return;
  setup_.link.Flush();
  const auto selected = static_cast<std::uint32_t>(recordIndexes_.size());
  std::uint32_t position = 0;
  setup_.view.SetOverallBar(0, selected);

  CopyContext& context = Context();
  for (const std::uint16_t index : recordIndexes_) {
    if (StopRequested()) break;
    setup_.view.ShowProgressText(
        QStringLiteral("上传进度：正在上传选择的第%1个文件").arg(position + 1));
    // The file carries the recording's own number, not its place in the selection.
    if (!GoesOnAfter(CopyRecording(context, index, std::uint32_t{index} + 1, state_))) break;
    setup_.view.SetOverallBar(++position, selected);
  }
  EndJob(JobKind::SelectedRecordings, position == selected, kSelectedCopiedMessage);
}

}  // namespace parlomax::transfer
