#pragma once

#include "catalogue/DeviceList.h"
#include "catalogue/FolderScan.h"
#include "catalogue/RecordingFind.h"
#include "transfer/FolderVerify.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

namespace parlomax::app {

// The recordings a list shows, one per row, with the seven texts of each
// made only when a row is drawn. A row is found by what it stands for;
// where it stands on screen is the view's business (sorted, narrowed).
class RecordingRows : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // The seven texts of `row`, in the columns' order.
  virtual QStringList Texts(int row) const = 0;
  virtual const catalogue::FindKey& KeyOf(int row) const = 0;
  // <0, 0, >0 as `a` comes before, with, after `b` by `column`: numbers,
  // times and lengths by value, names and numbers of telephones as text.
  virtual int Compare(int a, int b, int column) const = 0;
  // What a row says beside its texts: its colour and its tooltip.
  virtual QVariant Look(int /*row*/, int /*role*/) const { return {}; }

  // What sorting compares beside the find key, worked out once per row.
  struct SortFacts {
    std::uint32_t when = 0;  // month, day, hour, minute as one number
    std::uint32_t length = 0;
  };
  static SortFacts SortFactsOf(const catalogue::RecordingHeader* header, std::uint32_t length);

 protected:
  static int CompareFacts(const SortFacts& a, const catalogue::FindKey& ka, const SortFacts& b,
                          const catalogue::FindKey& kb, int column);
};

// The telephone's list as it was read.
class DeviceRecordingRows final : public RecordingRows {
  Q_OBJECT

 public:
  using RecordingRows::RecordingRows;

  int rowCount(const QModelIndex& parent = {}) const override;
  QStringList Texts(int row) const override;
  const catalogue::FindKey& KeyOf(int row) const override { return rows_[row].key; }
  int Compare(int a, int b, int column) const override;

  QVariant Look(int row, int role) const override;

  void Clear();
  void Add(const catalogue::DeviceListRow& row);
  const catalogue::DeviceListRow& Row(int row) const { return rows_[row].row; }
  std::vector<catalogue::DeviceListRow> AllRows() const;
  // Changes whenever the rows do: what was worked out from other rows is stale.
  std::uint64_t Generation() const { return generation_; }

  // Where the save folder holds each row's call whole: a file's path, or
  // "" (as worked out from the rows of `generation`).
  void SetSafeCopies(std::uint64_t generation, std::vector<std::filesystem::path> copies);

 private:
  struct Kept {
    catalogue::DeviceListRow row;
    catalogue::FindKey key;
    SortFacts facts;
    std::filesystem::path safeAt;
  };
  std::vector<Kept> rows_;
  std::uint64_t generation_ = 0;
};

// The recording files of the PC tab's folder, in the folder's list order.
class FolderRecordingRows final : public RecordingRows {
  Q_OBJECT

 public:
  using RecordingRows::RecordingRows;

  int rowCount(const QModelIndex& parent = {}) const override;
  QStringList Texts(int row) const override;
  const catalogue::FindKey& KeyOf(int row) const override { return keys_[row]; }
  int Compare(int a, int b, int column) const override;

  // Files with what finding and sorting them takes, worked out on any
  // thread, so that the window's thread only takes them in.
  struct Run {
    catalogue::FolderRecordings files;
    std::vector<catalogue::FindKey> keys;
    std::vector<SortFacts> facts;
  };
  static Run Describe(catalogue::FolderRecordings files);

  void Clear();
  // Rows read after those there are.
  void Append(Run&& run);
  // Becomes `now` (the whole folder, in list order) by taking out, putting
  // in and redrawing only the rows that differ, so that a view keeps its
  // selection and scroll. Whether anything differed.
  bool Become(catalogue::FolderRecordings&& now);

  QVariant Look(int row, int role) const override;

  // What the folder's ledger says of each file, by name: shown on a row
  // while the file is the size it was checked at.
  struct Verdict {
    transfer::Verdict verdict = transfer::Verdict::NeverCopied;
    std::uint64_t size = 0;
    QString text;
  };
  using Verdicts = std::unordered_map<std::string, Verdict>;
  void SetVerdicts(Verdicts verdicts);

  // The recording being played, by its file name ("" for none): its row is
  // drawn in bold, with a "▶" before its first column's tooltip.
  void SetPlaying(const std::string& name);
  QVariant data(const QModelIndex& index, int role) const override;

  const catalogue::FolderRecordings& Files() const { return files_; }
  const catalogue::FolderRecording& File(int row) const { return files_[row]; }
  std::uint32_t ConversionWorkTotal() const;

 private:
  void Insert(int at, Run&& run);
  void Remove(int at, int count);
  void Replace(int at, catalogue::FolderRecording&& file);
  static void Describe(const catalogue::FolderRecording& file, catalogue::FindKey& key,
                       SortFacts& facts);

  catalogue::FolderRecordings files_;
  std::vector<catalogue::FindKey> keys_;
  std::vector<SortFacts> facts_;
  Verdicts verdicts_;
  std::string playing_;
};

// A list's rows as shown: sorted by the column whose header was clicked
// (the model's own order until then), and narrowed to those the find words
// match.
class RecordingListProxy final : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit RecordingListProxy(RecordingRows* rows, QObject* parent = nullptr);

  void SetFind(catalogue::RecordingFind find);
  RecordingRows& Rows() const { return *rows_; }

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  RecordingRows* rows_;
  catalogue::RecordingFind find_;
};

}  // namespace parlomax::app
