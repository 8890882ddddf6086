#include "catalogue/RecordingTexts.h"

namespace parlomax::catalogue {

QString RecordingFileName(const RecordingHeader& header, std::uint32_t recordNumber) {
  const RecordingFields f = DecodeRecordingHeader(header);
  const std::uint32_t n = recordNumber;
  // The thousands place is written whole, so numbers above 9999 simply grow.
  return QString::asprintf("%u%u%u%u%u%u%u%u_%u%u%u%u.spx", f.month / 10, f.month % 10,
                           f.day / 10, f.day % 10, f.hour / 10, f.hour % 10, f.minute / 10,
                           f.minute % 10, n / 1000, (n / 100) % 10, (n / 10) % 10, n % 10);
}

QString CallTypeText(unsigned callType) {
  switch (callType) {
    case static_cast<unsigned>(CallType::Incoming):
      return QStringLiteral("来电");
    case static_cast<unsigned>(CallType::Outgoing):
      return QStringLiteral("去电");
    default:
      return QStringLiteral("录音");
  }
}

QString SizeText(std::uint32_t payloadLength) {
  const std::uint32_t kilobytes = payloadLength > 0 ? (payloadLength >> 10) + 1 : 0;
  return QString::asprintf("%uK", kilobytes);
}

QString DurationText(std::uint32_t seconds) {
  const std::uint32_t hours = seconds / 3600;
  const std::uint32_t minutes = (seconds - 3600 * hours) / 60;
  const std::uint32_t rest = seconds - 3600 * hours - 60 * minutes;
  if (hours != 0) return QStringLiteral("%1 时%2 分%3 秒").arg(hours).arg(minutes).arg(rest);
  if (minutes != 0) return QStringLiteral("%1 分%2 秒").arg(minutes).arg(rest);
  return QStringLiteral("%1 秒").arg(rest);
}

ColumnTexts RecordingColumnTexts(const RecordingHeader& header) {
  const RecordingFields f = DecodeRecordingHeader(header);
  ColumnTexts texts;
  texts.telephoneNumber = f.telephoneNumber;
  // One formatting pass: a list of tens of thousands of rows makes this text
  // for each of them.
  texts.time =
      QString::asprintf(" %u%u月%u%u日 %u%u:%u%u ", f.month / 10, f.month % 10, f.day / 10,
                        f.day % 10, f.hour / 10, f.hour % 10, f.minute / 10, f.minute % 10);
  texts.type = CallTypeText(f.callType);
  texts.size = SizeText(f.payloadLength);
  texts.duration = DurationText(f.durationSeconds);
  return texts;
}

QStringList RowTexts(const QString& caption, const QString& fileName, const ColumnTexts& texts) {
  return {caption, fileName, texts.telephoneNumber, texts.time, texts.type, texts.size, texts.duration};
}

}  // namespace parlomax::catalogue
