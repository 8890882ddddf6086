#pragma once

#include "transfer/CopyJob.h"

#include <vector>

namespace parlomax::transfer {

inline const QString kSelectedCopiedMessage = QStringLiteral("所选择的文件上传结束");

// Copies the recordings whose rows were selected, from the top down. It is
// given the recordings' indexes when it starts rather than reading the list
// while it runs: the list belongs to the window's thread.
class TStorageSingleThread final : public CopyJob {
 public:
  TStorageSingleThread(JobSetup setup, std::vector<std::uint16_t> recordIndexes);
 protected:
  void Execute() override;
  JobKind Kind() const override { return JobKind::SelectedRecordings; }

 private:
  std::vector<std::uint16_t> recordIndexes_;
};

}  // namespace parlomax::transfer
