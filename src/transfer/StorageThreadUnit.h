#pragma once

#include "transfer/CopyJob.h"

namespace parlomax::transfer {

inline const QString kAllCopiedMessage = QStringLiteral("全部文件上传结束");

// Copies every recording of the telephone, in index order; runs at the
// lowest priority.
class TStorgeThread final : public CopyJob {
 public:
  using CopyJob::CopyJob;
 protected:
  void Execute() override;
};

}  // namespace parlomax::transfer
