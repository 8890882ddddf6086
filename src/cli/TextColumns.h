#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace parlomax::cli {

// How many cells of a terminal a text takes: East Asian wide characters
// (Chinese among them) two each, combining marks none, the rest one.
int DisplayWidth(const QString& text);

// The longest start of `text` that takes at most `width` cells; marks that
// combine with the last character kept stay with it.
QString CutToWidth(const QString& text, int width);

// `text` followed by spaces up to `width` cells.
QString PaddedTo(const QString& text, int width);

// Rows of cells as a table on a terminal: each column as wide as its widest
// cell, two spaces between columns, the last column not padded.
QString AlignedColumns(const std::vector<QStringList>& rows);

// A term and what it means, as help texts list them.
struct HelpEntry {
  QString term;
  QStringList lines;  // the first beside the term, the rest below it
};

// Entries with their texts starting in one column, at least `minimumColumn`
// cells in, each entry indented by two cells.
QString HelpEntries(const std::vector<HelpEntry>& entries, int minimumColumn = 0);

}  // namespace parlomax::cli
