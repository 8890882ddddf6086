#include "transfer/StorageThreadUnit.h"

#include "catalogue/DeviceList.h"
#include "device/DeviceLink.h"

#include <array>

namespace parlomax::transfer {

void TStorgeThread::Execute() {
  if (!setup_.link.LoggedIn()) return;
  std::array<std::uint8_t, 2> countBytes{};
  if (!setup_.link.Exchange(device::Command::ReadCount(), device::FramePreparation::KeepOtherBytes,
                            countBytes)) {
    // Not knowing what the telephone holds, the job cannot go on, and the
    // link is in no state to be trusted until the telephone is opened again.
    setup_.view.TelephoneFailed();
    return;
  }
  const std::uint32_t count = countBytes[0] + 256u * countBytes[1];
  std::uint32_t steps = 0;
  setup_.view.SetOverallBar(0, count);

  CopyContext& context = Context();
  std::uint32_t position = 0;
  for (; position < count && !StopRequested(); ++position) {
    if (position == catalogue::kNeverRequestedIndex) continue;
    setup_.view.ShowProgressText(QStringLiteral("上传进度：正在上传第%1个文件").arg(position + 1));
    if (!GoesOnAfter(CopyRecording(context, static_cast<std::uint16_t>(position), position + 1, state_))) {
      break;
    }
    setup_.view.SetOverallBar(++steps, count);
  }
  EndJob(JobKind::AllRecordings, position == count, kAllCopiedMessage);
}

}  // namespace parlomax::transfer
