#pragma once

#include "catalogue/RecordingHeader.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace parlomax::catalogue {

// Columns 3 to 7 of a recording list row.
struct ColumnTexts {
  QString telephoneNumber;
  QString time;
  QString type;
  QString size;
  QString duration;

  bool operator==(const ColumnTexts&) const = default;
};

// MMDDhhmm_NNNN.spx, where NNNN is the 1-based record number written with at
// least four digits. The copy jobs name their files by it, so the name shown
// in the telephone's list is the name the copied file will have.
QString RecordingFileName(const RecordingHeader& header, std::uint32_t recordNumber);

ColumnTexts RecordingColumnTexts(const RecordingHeader& header);

// A row's seven texts in the order of the list's columns.
QStringList RowTexts(const QString& caption, const QString& fileName, const ColumnTexts& texts);

QString CallTypeText(unsigned callType);
QString SizeText(std::uint32_t payloadLength);
QString DurationText(std::uint32_t seconds);

}  // namespace parlomax::catalogue
