#pragma once

#include "catalogue/DeviceList.h"
#include "transfer/CopyJob.h"

#include <vector>

namespace parlomax::transfer {

inline const QString kAllCopiedMessage = QStringLiteral("全部文件上传结束");

// Copies every recording of the telephone, in index order; runs at the
// lowest priority. When the folder holds some of the `listed` recordings
// whole already, it first asks whether to copy only the others.
class TStorgeThread final : public CopyJob {
 public:
  explicit TStorgeThread(JobSetup setup, std::vector<catalogue::DeviceListRow> listed = {});

 protected:
  void Execute() override;

 private:
  // The listed recordings to leave out, by index, ascending.
  std::vector<std::uint16_t> AskWhichToLeaveOut() const;

  const std::vector<catalogue::DeviceListRow> listed_;
};

}  // namespace parlomax::transfer
