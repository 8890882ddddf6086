#include "cli/TextColumns.h"

#include <algorithm>

namespace parlomax::cli {
namespace {

// The blocks of characters a terminal draws two cells wide.
bool Wide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
         (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
         (c >= 0x20000 && c <= 0x3FFFD);
}

bool Invisible(char32_t c) {
  const auto category = QChar::category(c);
  return category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing ||
         category == QChar::Other_Format || c == 0x200B;
}

}  // namespace

int DisplayWidth(const QString& text) {
  int width = 0;
  for (const char32_t c : text.toUcs4()) width += Invisible(c) ? 0 : Wide(c) ? 2 : 1;
  return width;
}

QString CutToWidth(const QString& text, int width) {
  QString kept;
  int used = 0;
  for (const char32_t c : text.toUcs4()) {
    used += Invisible(c) ? 0 : Wide(c) ? 2 : 1;
    if (used > width) break;
    kept += QString::fromUcs4(&c, 1);
  }
  return kept;
}

QString PaddedTo(const QString& text, int width) {
  return text + QString(std::max(0, width - DisplayWidth(text)), u' ');
}

QString AlignedColumns(const std::vector<QStringList>& rows) {
  std::vector<int> widths;
  for (const auto& row : rows) {
    if (widths.size() < static_cast<std::size_t>(row.size())) widths.resize(static_cast<std::size_t>(row.size()), 0);
    for (qsizetype c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(row[c]));
  }
  QString text;
  for (const auto& row : rows) {
    QString line;
    for (qsizetype c = 0; c < row.size(); ++c) {
      line += c + 1 < row.size() ? PaddedTo(row[c], widths[c]) + QStringLiteral("  ") : row[c];
    }
    // A last cell that is empty leaves no blanks at the end of the line.
    while (line.endsWith(u' ')) line.chop(1);
    text += line + u'\n';
  }
  return text;
}

QString HelpEntries(const std::vector<HelpEntry>& entries, int minimumColumn) {
  int column = minimumColumn;
  for (const auto& entry : entries) column = std::max(column, 2 + DisplayWidth(entry.term) + 2);
  QString text;
  for (const auto& entry : entries) {
    for (qsizetype i = 0; i < entry.lines.size(); ++i) {
      const QString lead = i == 0 ? QStringLiteral("  ") + entry.term : QString();
      text += PaddedTo(lead, column) + entry.lines[i] + u'\n';
    }
  }
  return text;
}

}  // namespace parlomax::cli
