#include "transfer/VerdictTexts.h"

namespace parlomax::transfer {

QString VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::Intact:
      return QStringLiteral("完好");
    case Verdict::Changed:
      return QStringLiteral("已改变");
    case Verdict::Missing:
      return QStringLiteral("不见了");
    case Verdict::NeverCopied:
      return QStringLiteral("不是 Parlomax 复制的");
    case Verdict::Cut:
      return QStringLiteral("不完整");
  }
  return {};
}

QString VerdictDetailText(const RecordingVerdict& r) {
  const auto& f = r.facts;
  switch (r.verdict) {
    case Verdict::Intact:
      return QStringLiteral("%1 字节，复制于 %2")
          .arg(f.size)
          .arg(QString::fromStdString(r.record->copiedAt));
    case Verdict::Changed:
      if (!f.present) return QStringLiteral("无法作为文件打开");
      if (f.size != r.record->size)
        return QStringLiteral("现在 %1 字节，复制时 %2 字节").arg(f.size).arg(r.record->size);
      if (f.sha256.empty()) return QStringLiteral("无法读完");
      return QStringLiteral("内容与复制时不同（SHA-256 不符）");
    case Verdict::Missing:
      return QStringLiteral("复制于 %1，%2 字节")
          .arg(QString::fromStdString(r.record->copiedAt))
          .arg(r.record->size);
    case Verdict::NeverCopied:
      return f.present ? QStringLiteral("%1 字节，复制记录里没有").arg(f.size)
                       : QStringLiteral("无法作为文件打开");
    case Verdict::Cut:
      if (f.partName) return QStringLiteral("%1 字节，中断的复制留下的部分").arg(f.size);
      if (!f.header) return QStringLiteral("%1 字节，连文件头都不完整").arg(f.size);
      return QStringLiteral("只有 %1 / %2 字节")
          .arg(f.size)
          .arg(catalogue::kRecordingHeaderSize +
               std::uint64_t{catalogue::PayloadLength(*f.header)});
  }
  return {};
}

}  // namespace parlomax::transfer
