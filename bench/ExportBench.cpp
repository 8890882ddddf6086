// Exporting the largest list the telephone can hold (65535 rows) through our
// spreadsheet server into an .xls file, against writing the same cells
// straight into a CSV file (a floor for any writer).
//
//   bench_export
#include "BenchSupport.h"
#include "export/SpreadsheetExport.h"
#include "platform/spreadsheet/SpreadsheetServer.h"

#include <QFile>

#include <algorithm>

#include <sys/resource.h>

using namespace parlomax;
using Clock = std::chrono::steady_clock;

int main() {
  exporting::ExportTable table;
  table.columnCaptions = {"序号", "文件名", "电话号码", "时间", "属性", "文件长度", "时长"};
  for (int r = 1; r <= 65535; ++r) {
    table.rows.push_back({QString::number(r),
                          {QStringLiteral("03171430_%1.spx").arg(r, 4, 10, QLatin1Char('0')),
                           QStringLiteral("1380013%1").arg(r % 10000, 4, 10, QLatin1Char('0')),
                           QStringLiteral(" %1月17日 14:%2 ").arg(1 + r % 12, 2, 10, QLatin1Char('0')).arg(r % 60, 2, 10, QLatin1Char('0')),
                           r % 3 ? QStringLiteral("来电") : QStringLiteral("录音"),
                           QStringLiteral("%1K").arg(r % 997), QStringLiteral("%1 分%2 秒").arg(r % 50).arg(r % 60)}});
  }
  table.fontName = QStringLiteral("MS Sans Serif");
  const auto folder = std::filesystem::temp_directory_path() / ("parlomax-bench-export-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);

  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  spreadsheet::BuiltInAutomation automation;
  bench::QuietMessages messages;
  const QString xlsName = QString::fromStdString((folder / "list.xls").string());
  const auto exportOnce = [&] {
    std::filesystem::remove(folder / "list.xls");
    const auto start = Clock::now();
    exporting::ExportListToSpreadsheet(table, xlsName, automation, messages);
    return bench::SecondsSince(start);
  };
  const auto csvOnce = [&] {
    const auto start = Clock::now();
    QFile csv(QString::fromStdString((folder / "list.csv").string()));
    if (!csv.open(QIODevice::WriteOnly)) bench::Fail("cannot write the CSV file");
    const auto line = [&csv](const QStringList& cells) {
      csv.write((cells.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8());
    };
    line(QStringList(table.columnCaptions.begin(), table.columnCaptions.end()));
    for (const auto& row : table.rows) {
      QStringList cells{row.caption};
      for (const auto& s : row.subItems) cells << s;
      line(cells);
    }
    csv.close();
    return bench::SecondsSince(start);
  };
  const double firstExport = exportOnce();
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  // Both are short: five runs each, in turns, and the medians compared.
  std::vector<double> exports{firstExport}, csvs;
  for (int i = 0; i < 5; ++i) {
    csvs.push_back(csvOnce());
    if (i < 4) exports.push_back(exportOnce());
  }
  std::sort(exports.begin(), exports.end());
  std::sort(csvs.begin(), csvs.end());
  const double exportTime = exports[2];
  const double csvTime = csvs[2];

  std::printf("export of 65535 rows to .xls: %.3f s (median of 5), file %.1f MB\n", exportTime,
              std::filesystem::file_size(folder / "list.xls") / 1e6);
  std::printf("same cells to CSV:            %.3f s (median of 5), file %.1f MB\n", csvTime,
              std::filesystem::file_size(folder / "list.csv") / 1e6);
  std::printf("ratio: %.1f\n", exportTime / csvTime);
  std::printf("peak memory: %.0f MB (%.0f MB before the export)\n", after.ru_maxrss / 1024.0,
              before.ru_maxrss / 1024.0);
  if (messages.seen.size() != 5) bench::Fail("the export did not end as it should");
  std::filesystem::remove_all(folder);
  return 0;
}
