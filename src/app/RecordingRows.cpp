#include "app/RecordingRows.h"

#include "catalogue/RecordingListLayout.h"
#include "platform/files/PathText.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <compare>
#include <string_view>

namespace parlomax::app {
namespace {

template <typename T>
int Order(const T& a, const T& b) {
  const auto c = a <=> b;
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

RecordingRows::SortFacts RecordingRows::SortFactsOf(const catalogue::RecordingHeader* header,
                                                    std::uint32_t length) {
  return {header ? catalogue::TimeOrder(*header) : 0, length};
}

int RecordingRows::CompareFacts(const SortFacts& a, const catalogue::FindKey& ka,
                                const SortFacts& b, const catalogue::FindKey& kb, int column) {
  switch (column) {
    case 2:  // the telephone number, which the key's text starts with
      return Order(std::string_view(ka.text).substr(0, ka.nameAt),
                   std::string_view(kb.text).substr(0, kb.nameAt));
    case 3:
      return Order(a.when, b.when);
    case 4:
      return Order(ka.callType, kb.callType);
    case 5:
      return Order(a.length, b.length);
    default:
      return Order(ka.durationSeconds, kb.durationSeconds);
  }
}

int RecordingRows::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(catalogue::kRecordingListColumns.size());
}

QVariant RecordingRows::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  const auto& column = catalogue::kRecordingListColumns[section];
  if (role == Qt::DisplayRole) return QString::fromUtf16(column.caption);
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue((column.centred ? Qt::AlignHCenter : Qt::AlignLeft) |
                               Qt::AlignVCenter);
  return {};
}

QVariant RecordingRows::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role != Qt::DisplayRole) return Look(index.row(), role);
  return Texts(index.row()).value(index.column());
}

int DeviceRecordingRows::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QStringList DeviceRecordingRows::Texts(int row) const {
  const auto& r = rows_[row].row;
  return catalogue::RowTexts(r.caption, r.fileName, r.texts);
}

QVariant DeviceRecordingRows::Look(int row, int role) const {
  const auto& at = rows_[row].safeAt;
  if (at.empty()) return {};
  // Already on the PC: greyed, so that what still needs copying stands out.
  if (role == Qt::ForegroundRole)
    return QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
  if (role == Qt::ToolTipRole) return QStringLiteral("已复制到 ") + files::PathText(at);
  return {};
}

void DeviceRecordingRows::Clear() {
  beginResetModel();
  rows_.clear();
  ++generation_;
  endResetModel();
}

std::vector<catalogue::DeviceListRow> DeviceRecordingRows::AllRows() const {
  std::vector<catalogue::DeviceListRow> all;
  all.reserve(rows_.size());
  for (const auto& kept : rows_) all.push_back(kept.row);
  return all;
}

void DeviceRecordingRows::SetSafeCopies(std::uint64_t generation,
                                        std::vector<std::filesystem::path> copies) {
  if (generation != generation_ || copies.size() != rows_.size()) return;
  for (std::size_t i = 0; i < rows_.size(); ++i) rows_[i].safeAt = std::move(copies[i]);
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void DeviceRecordingRows::Add(const catalogue::DeviceListRow& row) {
  const int at = rowCount();
  beginInsertRows({}, at, at);
  const auto f = catalogue::DecodeRecordingHeader(row.header);
  rows_.push_back({row,
                   catalogue::FindKeyOf(&row.header, row.fileName.toStdString(), f.durationSeconds),
                   SortFactsOf(&row.header, f.payloadLength),
                   {}});
  ++generation_;
  endInsertRows();
}

int DeviceRecordingRows::Compare(int a, int b, int column) const {
  const auto& x = rows_[a];
  const auto& y = rows_[b];
  if (column <= 1) return Order(x.row.recordIndex, y.row.recordIndex);
  return CompareFacts(x.facts, x.key, y.facts, y.key, column);
}

int FolderRecordingRows::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(files_.size());
}

QStringList FolderRecordingRows::Texts(int row) const {
  const auto& file = files_[row];
  return catalogue::RowTexts(QString::number(row + 1), files::PathText(file.name),
                             catalogue::FolderRecordingTexts(file));
}

int FolderRecordingRows::Compare(int a, int b, int column) const {
  // The number and the name go in the folder's own order.
  if (column <= 1) return Order(a, b);
  return CompareFacts(facts_[a], keys_[a], facts_[b], keys_[b], column);
}

QVariant FolderRecordingRows::Look(int row, int role) const {
  if (role != Qt::ToolTipRole && role != Qt::ForegroundRole) return {};
  const auto& file = files_[row];
  const auto found = verdicts_.find(file.name);
  if (found == verdicts_.end() || found->second.size != file.fileSize) return {};
  if (role == Qt::ToolTipRole) return found->second.text;
  // Changed since it was copied: it may no longer be the call that was made.
  if (found->second.verdict == transfer::Verdict::Changed) return QColor(Qt::red);
  return {};
}

void FolderRecordingRows::SetPlaying(const std::string& name) {
  if (name == playing_) return;
  playing_ = name;
  if (!files_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

QVariant FolderRecordingRows::data(const QModelIndex& index, int role) const {
  QVariant value = RecordingRows::data(index, role);
  if (playing_.empty() || !index.isValid() || index.row() >= rowCount() ||
      files_[index.row()].name != playing_)
    return value;
  if (role == Qt::FontRole) {
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  if (role == Qt::ToolTipRole && index.column() == 0) {
    const QString said = value.toString();
    return said.isEmpty() ? QStringLiteral("▶") : QStringLiteral("▶ ") + said;
  }
  return value;
}

void FolderRecordingRows::SetVerdicts(Verdicts verdicts) {
  verdicts_ = std::move(verdicts);
  if (!files_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void FolderRecordingRows::Clear() {
  beginResetModel();
  verdicts_.clear();
  files_.clear();
  keys_.clear();
  facts_.clear();
  endResetModel();
}

void FolderRecordingRows::Describe(const catalogue::FolderRecording& file, catalogue::FindKey& key,
                                   SortFacts& facts) {
  const catalogue::RecordingHeader* header = file.complete ? &file.header : nullptr;
  const auto held = catalogue::PayloadHeld(file);
  key = catalogue::FindKeyOf(header, file.name, held ? catalogue::DurationSeconds(held) : 0);
  facts = SortFactsOf(header, held);
}

void FolderRecordingRows::Replace(int at, catalogue::FolderRecording&& file) {
  Describe(file, keys_[at], facts_[at]);
  files_[at] = std::move(file);
}

FolderRecordingRows::Run FolderRecordingRows::Describe(catalogue::FolderRecordings files) {
  Run run;
  run.keys.resize(files.size());
  run.facts.resize(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) Describe(files[i], run.keys[i], run.facts[i]);
  run.files = std::move(files);
  return run;
}

void FolderRecordingRows::Insert(int at, Run&& run) {
  const auto count = static_cast<int>(run.files.size());
  if (count == 0) return;
  beginInsertRows({}, at, at + count - 1);
  const auto move = [at](auto& into, auto& from) {
    into.insert(into.begin() + at, std::make_move_iterator(from.begin()),
                std::make_move_iterator(from.end()));
  };
  move(files_, run.files);
  move(keys_, run.keys);
  move(facts_, run.facts);
  endInsertRows();
}

void FolderRecordingRows::Append(Run&& run) { Insert(rowCount(), std::move(run)); }

void FolderRecordingRows::Remove(int at, int count) {
  if (count == 0) return;
  beginRemoveRows({}, at, at + count - 1);
  files_.erase(files_.begin() + at, files_.begin() + at + count);
  keys_.erase(keys_.begin() + at, keys_.begin() + at + count);
  facts_.erase(facts_.begin() + at, facts_.begin() + at + count);
  endRemoveRows();
}

bool FolderRecordingRows::Become(catalogue::FolderRecordings&& now) {
  bool changed = false;
  int row = 0;
  int moved = -1;  // the first row whose place changed
  // Rows redrawn in one go for each run of neighbours (a whole folder's
  // times change when it comes back from another computer).
  int redrawFrom = -1;
  const auto redraw = [&](int to) {
    if (redrawFrom >= 0)
      emit dataChanged(index(redrawFrom, 0), index(to - 1, columnCount() - 1), {Qt::DisplayRole});
    redrawFrom = -1;
  };
  auto next = now.begin();
  const auto same = [](const catalogue::FolderRecording& a, const catalogue::FolderRecording& b) {
    return a.SameFileAs(b) && a.opened == b.opened && a.complete == b.complete &&
           a.header == b.header;
  };
  while (row < rowCount() || next != now.end()) {
    // Rows whose files have gone.
    int gone = 0;
    while (row + gone < rowCount() &&
           (next == now.end() || catalogue::ListsBefore(files_[row + gone].name, next->name)))
      ++gone;
    if (gone > 0) {
      redraw(row);
      if (moved < 0) moved = row;
      Remove(row, gone);
      changed = true;
      continue;
    }
    // Files that came.
    auto came = next;
    while (came != now.end() &&
           (row == rowCount() || catalogue::ListsBefore(came->name, files_[row].name)))
      ++came;
    if (came != next) {
      redraw(row);
      if (moved < 0) moved = row;
      const auto count = static_cast<int>(came - next);
      Insert(row, Describe(catalogue::FolderRecordings(std::make_move_iterator(next),
                                                       std::make_move_iterator(came))));
      row += count;
      next = came;
      changed = true;
      continue;
    }
    // The same name: a file grown or replaced shows what it holds now.
    if (!same(files_[row], *next)) {
      Replace(row, std::move(*next));
      if (redrawFrom < 0) redrawFrom = row;
      changed = true;
    } else {
      redraw(row);
    }
    ++row;
    ++next;
  }
  redraw(row);
  // Each row's number is its place, which rows taken out or put in move.
  if (moved >= 0 && moved < rowCount())
    emit dataChanged(index(moved, 0), index(rowCount() - 1, 0), {Qt::DisplayRole});
  return changed;
}

std::uint32_t FolderRecordingRows::ConversionWorkTotal() const {
  std::uint32_t total = 0;
  for (const auto& file : files_) total += catalogue::ConversionWork(file);
  return total;
}

RecordingListProxy::RecordingListProxy(RecordingRows* rows, QObject* parent)
    : QSortFilterProxyModel(parent), rows_(rows) {
  setSourceModel(rows);
}

void RecordingListProxy::SetFind(catalogue::RecordingFind find) {
  find_ = std::move(find);
  // Laid out anew rather than row by row: over tens of thousands of rows a
  // keystroke leaves thousands of gaps, each of which would be its own
  // change; the selection is kept all the same.
  invalidate();
}

bool RecordingListProxy::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  return find_.Empty() || find_.Matches(rows_->KeyOf(sourceRow));
}

bool RecordingListProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  return rows_->Compare(left.row(), right.row(), left.column()) < 0;
}

}  // namespace parlomax::app
