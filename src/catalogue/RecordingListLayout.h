#pragma once

#include <QStringList>

#include <array>

namespace parlomax::catalogue {

// The seven columns shared by the telephone's list and the PC folder list.
struct RecordingListColumn {
  const char16_t* caption;
  int width;  // pixels
  bool centred;
};

inline constexpr std::array<RecordingListColumn, 7> kRecordingListColumns{{
    {u"序号", 40, false},
    {u"文件名", 120, true},
    {u"电话号码", 100, true},
    {u"时间", 130, true},
    {u"属性", 50, true},
    {u"文件长度", 68, true},
    {u"时长", 99, true},
}};

// The captions of the seven columns, in order.
inline QStringList RecordingListCaptions() {
  QStringList captions;
  for (const auto& column : kRecordingListColumns) captions.push_back(QString::fromUtf16(column.caption));
  return captions;
}

// The window's font, which its lists take; the exported sheet is set in it too.
inline constexpr const char16_t* kListFontFamily = u"MS Sans Serif";
inline constexpr int kListFontPointSize = 8;

}  // namespace parlomax::catalogue
