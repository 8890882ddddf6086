#include "transfer/StorageThreadUnit.h"

#include "catalogue/DeviceList.h"
#include "device/DeviceLink.h"
#include "transfer/SafeCopies.h"

#include <algorithm>
#include <array>

namespace parlomax::transfer {

TStorgeThread::TStorgeThread(JobSetup setup, std::vector<catalogue::DeviceListRow> listed)
    : CopyJob(std::move(setup)), listed_(std::move(listed)) {}

std::map<catalogue::RecordingHeader, std::size_t> TStorgeThread::AskWhichToLeaveOut() const {
  // Asked of the folder as it is now, not as the list's marks last saw it.
  const auto safe = FindSafeCopies(listed_, folder_->Copies());
  std::map<catalogue::RecordingHeader, std::size_t> leftOut;
  std::size_t count = 0;
  for (std::size_t i = 0; i < listed_.size(); ++i) {
    if (safe[i].empty()) continue;
    ++leftOut[catalogue::CallOf(listed_[i].header)];
    ++count;
  }
  // Copying a call again only writes the same bytes over its copy; a
  // person who knows most are safe would rather not wait for that.
  if (count == 0 || !setup_.messages.AskYesNo(OnlyNewQuestion(count))) return {};
  return leftOut;
}

void TStorgeThread::Execute() {
  if (!setup_.link.LoggedIn()) return;
  auto leftOut = AskWhichToLeaveOut();
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
  // A recording is left out by what the telephone says it holds now, not by
  // its place in a list read earlier: places move when recordings are
  // deleted or made, and a new call must never be taken for a copied one.
  if (!leftOut.empty()) {
    context.leaveOut = [&leftOut](const catalogue::RecordingHeader& header) {
      const auto call = leftOut.find(catalogue::CallOf(header));
      if (call == leftOut.end() || call->second == 0) return false;
      --call->second;
      return true;
    };
  }
  std::uint32_t position = 0;
  for (; position < count && !StopRequested(); ++position) {
    if (position == catalogue::kNeverRequestedIndex) continue;
    setup_.view.ShowProgressText(QStringLiteral("上传进度：正在上传第%1个文件").arg(position + 1));
    if (!GoesOnAfter(CopyRecording(context, static_cast<std::uint16_t>(position), position + 1, state_))) {
      break;
    }
    setup_.view.SetOverallBar(++steps, count);
  }
  context.leaveOut = {};  // it holds this frame's counts
  EndJob(JobKind::AllRecordings, position == count, kAllCopiedMessage);
}

}  // namespace parlomax::transfer
