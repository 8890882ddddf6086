#include "platform/spreadsheet/XlsWriter.h"

#include "platform/spreadsheet/ByteWriter.h"
#include "platform/spreadsheet/CompoundFile.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace parlomax::spreadsheet {
namespace {

// Record identifiers.
constexpr std::uint16_t kBof = 0x0809, kEof = 0x000A, kCodepage = 0x0042, kWindow1 = 0x003D,
                        kFont = 0x0031, kXf = 0x00E0, kStyle = 0x0293, kBoundSheet = 0x0085,
                        kSst = 0x00FC, kContinue = 0x003C, kDefaultRowHeight = 0x0225,
                        kWsBool = 0x0081, kColInfo = 0x007D, kDimensions = 0x0200, kRow = 0x0208,
                        kLabelSst = 0x00FD, kWindow2 = 0x023E;
constexpr std::size_t kMaxRecordPayload = 8224;
constexpr std::uint16_t kTextFormat = 49;  // built-in number format "@"
constexpr std::uint16_t kFirstCellXf = 16;
constexpr std::uint8_t kAutomaticColour = 0x40;

void Record(ByteWriter& out, std::uint16_t id, const std::vector<std::uint8_t>& payload) {
  out.U16(id);
  out.U16(static_cast<std::uint16_t>(payload.size()));
  out.Append(payload);
}

std::vector<std::uint8_t> Bof(std::uint16_t type) {
  ByteWriter p;
  p.U16(0x0600);
  p.U16(type);
  p.U16(0x0DBB);
  p.U16(0x07CC);
  p.U32(0);
  p.U32(6);
  return p.Bytes();
}

std::vector<std::uint8_t> Font(const SheetFont& font) {
  ByteWriter p;
  p.U16(static_cast<std::uint16_t>(std::lround(font.size * 20)));
  p.U16(font.italic ? 0x0002 : 0);
  p.U16(0x7FFF);
  p.U16(font.bold ? 700 : 400);
  p.U16(0);
  p.U8(0);
  p.U8(0);
  p.U8(0x86);  // GB2312: the lists are Chinese
  p.U8(0);
  const QString name = font.name.left(255);
  p.U8(static_cast<std::uint8_t>(name.size()));
  p.U8(0x01);
  p.Utf16(name);
  return p.Bytes();
}

std::vector<std::uint8_t> Xf(std::uint16_t format, std::uint16_t typeAndParent, std::uint8_t alignment,
                             std::uint8_t usedAttributes, std::uint32_t fill, std::uint16_t colours) {
  ByteWriter p;
  p.U16(0);  // font 0
  p.U16(format);
  p.U16(typeAndParent);
  p.U8(alignment);
  p.U8(0);
  p.U8(0);
  p.U8(usedAttributes);
  p.U32(0);
  p.U32(fill);
  p.U16(colours);
  return p.Bytes();
}

// Palette index of an automation colour index.
std::uint8_t Colour(std::int32_t colorIndex) {
  if (colorIndex <= 0 || colorIndex > 56) return kAutomaticColour;
  return static_cast<std::uint8_t>(colorIndex + 7);
}

std::vector<std::uint8_t> CellXf(const CellStyle& style) {
  // Automation's 3 is "centre", which the file calls 2; vertical is bottom.
  const std::uint8_t horizontal = style.horizontalAlignment == 3 ? 2 : 0;
  std::uint8_t pattern = static_cast<std::uint8_t>(std::clamp(style.fillPattern, 0, 18));
  if (pattern == 0 && style.fillColorIndex > 0) pattern = 1;  // a colour alone fills solid
  const std::uint16_t colours =
      pattern == 0 ? 0x20C0
                   : static_cast<std::uint16_t>(Colour(style.fillColorIndex) |
                                                (Colour(style.patternColorIndex) << 7));
  return Xf(style.textFormat ? kTextFormat : 0, 0x0001, static_cast<std::uint8_t>(0x20 | horizontal),
            0xFC, std::uint32_t{pattern} << 26, colours);
}

// The shared strings, and how the cells refer to them.
struct SharedStrings {
  std::vector<const QString*> unique;
  QHash<QString, std::uint32_t> index;
  std::uint32_t references = 0;

  std::uint32_t Add(const QString& text) {
    ++references;
    const auto it = index.constFind(text);
    if (it != index.constEnd()) return it.value();
    const auto at = static_cast<std::uint32_t>(unique.size());
    index.insert(text, at);
    unique.push_back(&text);
    return at;
  }
};

// SST and its CONTINUE records: a string's 3-byte head never stands apart
// from its first character, and a string split across records goes on
// after a one-byte flag (wide or not, as the string began), between whole
// characters.
void WriteSst(ByteWriter& out, const SharedStrings& strings) {
  std::vector<std::vector<std::uint8_t>> records(1);
  ByteWriter head;
  head.U32(strings.references);
  head.U32(static_cast<std::uint32_t>(strings.unique.size()));
  records[0] = head.Bytes();
  const auto room = [&] { return kMaxRecordPayload - records.back().size(); };
  const auto put16 = [&](std::uint16_t v) {
    records.back().push_back(static_cast<std::uint8_t>(v));
    records.back().push_back(static_cast<std::uint8_t>(v >> 8));
  };
  for (const QString* text : strings.unique) {
    const auto length = static_cast<std::uint16_t>(std::min<qsizetype>(text->size(), 0xFFFF));
    // Text that Latin-1 can hold is stored a byte a character.
    const bool wide = std::any_of(text->begin(), text->begin() + length,
                                  [](QChar c) { return c.unicode() > 0xFF; });
    const std::size_t unit = wide ? 2 : 1;
    if (room() < 3 + unit) records.emplace_back();
    put16(length);
    records.back().push_back(wide ? 0x01 : 0x00);
    for (std::uint16_t i = 0; i < length;) {
      const bool pair = wide && QChar::isHighSurrogate(text->at(i).unicode()) && i + 1 < length;
      if (room() < (pair ? 4 : unit)) {
        records.emplace_back();
        records.back().push_back(wide ? 0x01 : 0x00);
      }
      if (!wide) {
        records.back().push_back(static_cast<std::uint8_t>(text->at(i++).unicode()));
        continue;
      }
      put16(text->at(i++).unicode());
      if (pair) put16(text->at(i++).unicode());
    }
  }
  Record(out, kSst, records[0]);
  for (std::size_t r = 1; r < records.size(); ++r) Record(out, kContinue, records[r]);
}

std::vector<std::uint8_t> Globals(const SheetModel& sheet, const std::vector<CellStyle>& styles,
                                  const SharedStrings& strings, std::size_t& sheetOffsetAt) {
  ByteWriter out;
  Record(out, kBof, Bof(0x0005));
  ByteWriter codepage;
  codepage.U16(0x04B0);
  Record(out, kCodepage, codepage.Bytes());
  ByteWriter window;
  for (std::uint16_t v : {0, 0, 0x355C, 0x30ED, 0x0038, 0, 0, 1, 0x0258}) window.U16(v);
  Record(out, kWindow1, window.Bytes());
  for (int i = 0; i < 5; ++i) Record(out, kFont, Font(sheet.font));
  Record(out, kXf, Xf(0, 0xFFF5, 0x20, 0x00, 0, 0x20C0));
  for (int i = 1; i < 15; ++i) Record(out, kXf, Xf(0, 0xFFF5, 0x20, 0xF4, 0, 0x20C0));
  Record(out, kXf, Xf(0, 0x0001, 0x20, 0x00, 0, 0x20C0));
  for (const CellStyle& style : styles) Record(out, kXf, CellXf(style));
  Record(out, kStyle, {0x00, 0x80, 0x00, 0xFF});

  ByteWriter boundSheet;
  boundSheet.U32(0);  // patched once the globals' length is known
  boundSheet.U8(0);
  boundSheet.U8(0);
  const QString name = sheet.name.left(31);
  boundSheet.U8(static_cast<std::uint8_t>(name.size()));
  boundSheet.U8(0x01);
  boundSheet.Utf16(name);
  sheetOffsetAt = out.Size() + 4;
  Record(out, kBoundSheet, boundSheet.Bytes());
  WriteSst(out, strings);
  Record(out, kEof, {});
  return out.Bytes();
}

}  // namespace

std::vector<std::uint8_t> WorkbookStream(const SheetModel& sheet) {
  // Every distinct cell style gets an XF of its own after the default ones.
  // Neighbouring cells nearly always share one, so the last is kept at hand.
  std::vector<CellStyle> styles;
  const CellStyle* lastStyle = nullptr;
  std::uint16_t lastXf = 0;
  const auto xfFor = [&](const CellStyle& style) {
    if (lastStyle && *lastStyle == style) return lastXf;
    auto it = std::find(styles.begin(), styles.end(), style);
    if (it == styles.end()) it = styles.insert(styles.end(), style);
    lastStyle = &style;
    lastXf = static_cast<std::uint16_t>(kFirstCellXf + (it - styles.begin()));
    return lastXf;
  };
  const std::uint16_t defaultXf = xfFor(sheet.defaultStyle);

  std::size_t cellCount = 0;
  for (const auto& row : sheet.rows) cellCount += row.size();
  SharedStrings strings;
  strings.index.reserve(static_cast<qsizetype>(cellCount));
  int lastColumn = 0;
  for (const auto& [column, width] : sheet.columnWidths) lastColumn = std::max(lastColumn, column);
  struct Label {
    std::uint16_t column, xf;
    std::uint32_t string;
  };
  // All labels in row order; row r's run starts at rowStart[r].
  std::vector<Label> labels;
  labels.reserve(cellCount);
  std::vector<std::size_t> rowStart(sheet.rows.size() + 1, 0);
  for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
    rowStart[r] = labels.size();
    for (std::size_t c = 0; c < sheet.rows[r].size(); ++c) {
      const Cell& cell = sheet.rows[r][c];
      if (!cell.text) continue;
      labels.push_back({static_cast<std::uint16_t>(c), xfFor(sheet.StyleOf(cell)), strings.Add(*cell.text)});
      lastColumn = std::max(lastColumn, static_cast<int>(c) + 1);
    }
  }
  rowStart[sheet.rows.size()] = labels.size();
  int lastRow = static_cast<int>(sheet.rows.size());
  if (!sheet.rowHeights.empty()) lastRow = std::max(lastRow, sheet.rowHeights.rbegin()->first);

  // The stream's size is known closely beforehand; one allocation holds it.
  std::size_t stringBytes = 0;
  for (const QString* text : strings.unique) stringBytes += 3 + 2 * static_cast<std::size_t>(text->size());
  const std::size_t estimate = 4096 + stringBytes + stringBytes / 1000 + styles.size() * 24 +
                               static_cast<std::size_t>(lastRow) * 20 + labels.size() * 14 +
                               sheet.columnWidths.size() * 16;
  std::size_t offsetAt = 0;
  ByteWriter out;
  out.Bytes().reserve(estimate);
  out.Append(Globals(sheet, styles, strings, offsetAt));
  out.PatchU32(offsetAt, static_cast<std::uint32_t>(out.Size()));

  Record(out, kBof, Bof(0x0010));
  Record(out, kDefaultRowHeight, {0x01, 0x00, 0x40, 0x01});
  Record(out, kWsBool, {0xC1, 0x04});
  for (const auto& [column, width] : sheet.columnWidths) {
    ByteWriter p;
    p.U16(static_cast<std::uint16_t>(column - 1));
    p.U16(static_cast<std::uint16_t>(column - 1));
    p.U16(static_cast<std::uint16_t>(std::clamp<long>(std::lround(width * 256), 0, 0xFFFF)));
    p.U16(defaultXf);
    p.U16(0x0002);
    p.U16(0);
    Record(out, kColInfo, p.Bytes());
  }
  ByteWriter dimensions;
  dimensions.U32(0);
  dimensions.U32(static_cast<std::uint32_t>(lastRow));
  dimensions.U16(0);
  dimensions.U16(static_cast<std::uint16_t>(lastColumn));
  dimensions.U16(0);
  Record(out, kDimensions, dimensions.Bytes());

  // Rows and cells are the bulk of the file: written straight into the
  // stream, without a buffer per record.
  for (int row = 1; row <= lastRow; ++row) {
    const auto height = sheet.rowHeights.find(row);
    const bool hasLabels =
        row <= static_cast<int>(sheet.rows.size()) && rowStart[row - 1] != rowStart[row];
    if (height == sheet.rowHeights.end() && !hasLabels) continue;
    const bool byHand = height != sheet.rowHeights.end();
    out.U16(kRow);
    out.U16(16);
    out.U16(static_cast<std::uint16_t>(row - 1));
    out.U16(0);
    out.U16(static_cast<std::uint16_t>(lastColumn));
    out.U16(byHand ? static_cast<std::uint16_t>(std::lround(height->second * 20) & 0x7FFF) : 320);
    out.U16(0);
    out.U16(0);
    out.U32(byHand ? 0x000F0140 : 0x000F0100);
    if (!hasLabels) continue;
    for (std::size_t i = rowStart[row - 1]; i < rowStart[row]; ++i) {
      const Label& label = labels[i];
      out.U16(kLabelSst);
      out.U16(10);
      out.U16(static_cast<std::uint16_t>(row - 1));
      out.U16(label.column);
      out.U16(label.xf);
      out.U32(label.string);
    }
  }
  ByteWriter window;
  for (std::uint16_t v : {0x06B6, 0, 0, 0x0040, 0, 0, 0}) window.U16(v);
  window.U32(0);
  Record(out, kWindow2, window.Bytes());
  Record(out, kEof, {});
  return out.Bytes();
}

std::vector<std::uint8_t> XlsFile(const SheetModel& sheet) {
  return CompoundFile(u"Workbook", WorkbookStream(sheet));
}

}  // namespace parlomax::spreadsheet
