#include "transfer/StorageThreadUnit.h"

#include "catalogue/DeviceList.h"
#include "device/DeviceLink.h"
#include "transfer/SafeCopies.h"

#include <algorithm>
#include <array>

namespace parlomax::transfer {

TStorgeThread::TStorgeThread(JobSetup setup, std::vector<catalogue::DeviceListRow> listed)
    : CopyJob(std::move(setup)), listed_(std::move(listed)) {}

std::vector<std::uint16_t> TStorgeThread::AskWhichToLeaveOut() const {
  // Asked of the folder as it is now, not as the list's marks last saw it.
  const auto safe = FindSafeCopies(listed_, folder_->Copies());
  std::vector<std::uint16_t> leftOut;
  for (std::size_t i = 0; i < listed_.size(); ++i)
    if (!safe[i].empty()) leftOut.push_back(listed_[i].recordIndex);
  // Copying a call again only writes the same bytes over its copy; a
  // person who knows most are safe would rather not wait for that.
  if (leftOut.empty() || !setup_.messages.AskYesNo(OnlyNewQuestion(leftOut.size()))) return {};
  std::sort(leftOut.begin(), leftOut.end());
  return leftOut;
}

void TStorgeThread::Execute() {
  if (!setup_.link.LoggedIn()) return;
  const auto leftOutIndexes = AskWhichToLeaveOut();
  std::array<std::uint8_t, 2> countBytes{};
  if (!setup_.link.Exchange(device::Command::ReadCount(), device::FramePreparation::KeepOtherBytes,
                            countBytes)) {
    // Not knowing what the telephone holds, the job cannot go on, and the
    // link is in no state to be trusted until the telephone is opened again.
    setup_.view.TelephoneFailed();
    return;
  }
  const std::uint32_t count = countBytes[0] + 256u * countBytes[1];
  const auto leftOut = [&leftOutIndexes](std::uint32_t position) {
    return std::binary_search(leftOutIndexes.begin(), leftOutIndexes.end(), position);
  };
  const auto toCopy = static_cast<std::uint32_t>(
      count - std::count_if(leftOutIndexes.begin(), leftOutIndexes.end(),
                            [count](std::uint32_t i) { return i < count; }));
  std::uint32_t steps = 0;
  setup_.view.SetOverallBar(0, toCopy);

  CopyContext& context = Context();
  std::uint32_t position = 0;
  for (; position < count && !StopRequested(); ++position) {
    if (position == catalogue::kNeverRequestedIndex || leftOut(position)) continue;
    setup_.view.ShowProgressText(QStringLiteral("上传进度：正在上传第%1个文件").arg(position + 1));
    if (!GoesOnAfter(CopyRecording(context, static_cast<std::uint16_t>(position), position + 1, state_))) {
      break;
    }
    setup_.view.SetOverallBar(++steps, toCopy);
  }
  EndJob(JobKind::AllRecordings, position == count, kAllCopiedMessage);
}

}  // namespace parlomax::transfer
