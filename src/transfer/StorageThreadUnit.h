#pragma once

#include "catalogue/DeviceList.h"
#include "transfer/CopyJob.h"

#include <map>
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
  JobKind Kind() const override { return JobKind::AllRecordings; }

 private:
  // The calls to leave out, each as many times as it is to be left out
  // (a redial of the same length is two recordings of one call).
  std::map<catalogue::RecordingHeader, std::size_t> AskWhichToLeaveOut() const;

  const std::vector<catalogue::DeviceListRow> listed_;
};

}  // namespace parlomax::transfer
