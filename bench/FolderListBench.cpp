// How fast the PC list gets a folder of an office's recordings, against the
// least any listing costs: going through the folder, opening every file and
// reading its 19-byte header, measured in the same run. Then reading it
// again with nothing changed, and the rows kept between runs, saved and
// loaded. With --cold (as root) the first reading after a restart is
// imitated by dropping the system's page cache before each measurement.
//
//   bench_folder_list [recordings, default 50000] [--cold] [--in FOLDER]
#include "BareLoop.h"
#include "BenchSupport.h"
#include "RecordingFolder.h"
#include "catalogue/FolderCache.h"
#include "catalogue/FolderScan.h"
#include "platform/shell/StartAndWait.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>

#include <dirent.h>
#include <sys/vfs.h>

using namespace parlomax;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr int kRuns = 3;

// A cache folder of the benchmark's own, beside the recordings.
struct CacheHome {
  explicit CacheHome(const fs::path& base) {
    std::string pattern = (base / "parlomax-cache-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) bench::Fail("cannot make a cache folder");
    path = pattern;
  }
  ~CacheHome() { fs::remove_all(path); }
  fs::path path;
};

template <typename Measure>
double MedianSeconds(Measure measure) {
  std::vector<double> seconds;
  for (int i = 0; i < kRuns; ++i) seconds.push_back(measure());
  std::sort(seconds.begin(), seconds.end());
  return seconds[kRuns / 2];
}

struct Scan {
  double seconds = 0;
  double firstRunSeconds = 0;
  catalogue::FolderRecordings rows;
};

Scan ScanFolder(const fs::path& folder, const catalogue::FolderRecordings& known) {
  Scan scan;
  const auto start = Clock::now();
  catalogue::ScanRecordingFolder(folder, known, {}, [&](catalogue::FolderRecordings&& run) {
    if (scan.rows.empty()) scan.firstRunSeconds = bench::SecondsSince(start);
    scan.rows.insert(scan.rows.end(), std::make_move_iterator(run.begin()),
                     std::make_move_iterator(run.end()));
  });
  scan.seconds = bench::SecondsSince(start);
  return scan;
}

Scan MedianScan(const fs::path& folder, const catalogue::FolderRecordings& known) {
  std::vector<Scan> scans;
  for (int i = 0; i < kRuns; ++i) scans.push_back(ScanFolder(folder, known));
  std::sort(scans.begin(), scans.end(),
            [](const Scan& a, const Scan& b) { return a.seconds < b.seconds; });
  return std::move(scans[kRuns / 2]);
}

double CacheSave(const catalogue::FolderCache& cache, const fs::path& folder,
                 const catalogue::FolderRecordings& rows) {
  const auto start = Clock::now();
  if (!cache.Save(folder, rows)) bench::Fail("cannot keep the rows");
  return bench::SecondsSince(start);
}

double CacheLoad(const catalogue::FolderCache& cache, const fs::path& folder,
                 std::size_t expected) {
  const auto start = Clock::now();
  const auto rows = cache.Load(folder);
  const double seconds = bench::SecondsSince(start);
  if (!rows || rows->size() != expected) bench::Fail("the kept rows did not come back");
  return seconds;
}

void Report(const char* what, double seconds, double bare) {
  std::printf("  %-52s %9.1f ms   ratio %6.2f\n", what, seconds * 1000, seconds / bare);
}

bool InMemory(const fs::path& folder) {
  struct statfs info {};
  return ::statfs(folder.c_str(), &info) == 0 && info.f_type == 0x01021994;  // tmpfs
}

void MeasureWarm(const fs::path& folder, std::uint32_t count, const catalogue::FolderCache& cache) {
  bench::BareLoop(folder, count);  // brings everything into memory
  const double bare = MedianSeconds([&] { return bench::BareLoop(folder, count); });
  std::printf("warm (median of %d):\n", kRuns);
  Report("bare loop: list, open, read 19 bytes", bare, bare);
  const Scan fresh = MedianScan(folder, {});
  if (fresh.rows.size() != count) bench::Fail("the scan missed recordings");
  Report("scan, nothing known", fresh.seconds, bare);
  Report("  its first run of rows", fresh.firstRunSeconds, bare);
  const Scan again = MedianScan(folder, fresh.rows);
  Report("scan, everything known (nothing changed)", again.seconds, bare);
  Report("  its first run of rows", again.firstRunSeconds, bare);
  Report("kept rows: save", MedianSeconds([&] { return CacheSave(cache, folder, fresh.rows); }),
         bare);
  Report("kept rows: load", MedianSeconds([&] { return CacheLoad(cache, folder, count); }), bare);
  // The program as a person runs it, its output read through a pipe.
  const auto find = [&](std::vector<std::string> words) {
    return MedianSeconds([&] {
      std::vector<std::string> arguments{"find", folder.string()};
      arguments.insert(arguments.end(), words.begin(), words.end());
      const auto start = Clock::now();
      const auto end = shell::StartAndRead(PARLOMAX_CLI_PROGRAM, arguments, -1, [](std::span<const std::uint8_t>) {});
      if (!(end == 0)) bench::Fail("parlomax-cli find failed");
      return bench::SecondsSince(start);
    });
  };
  Report("parlomax-cli find FOLDER 138", find({"138"}), bare);
  Report("parlomax-cli find FOLDER (every recording)", find({}), bare);
  std::printf("  kept rows file: %.2f MB\n", fs::file_size(cache.FileFor(folder)) / 1e6);
}

void MeasureCold(const fs::path& folder, std::uint32_t count, const catalogue::FolderCache& cache) {
  if (::geteuid() != 0)
    return std::printf("cold: skipped, only root can drop the page cache\n"), void();
  if (InMemory(folder))
    std::printf("cold: the folder is in memory (tmpfs); try --in a folder on a disk\n");
  std::printf("cold (page cache dropped before each):\n");
  if (!bench::DropPageCache())
    return std::printf("  skipped: the page cache could not be dropped\n"), void();
  const double bare = bench::BareLoop(folder, count);
  Report("bare loop: list, open, read 19 bytes", bare, bare);
  bench::DropPageCache();
  const Scan fresh = ScanFolder(folder, {});
  Report("scan, nothing known", fresh.seconds, bare);
  Report("  its first run of rows", fresh.firstRunSeconds, bare);
  bench::DropPageCache();
  Report("kept rows: load", CacheLoad(cache, folder, count), bare);
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t count = 50'000;
  bool cold = false;
  fs::path base = fs::temp_directory_path();
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--cold") == 0) {
      cold = true;
    } else if (std::strcmp(argv[i], "--in") == 0 && i + 1 < argc) {
      base = argv[++i];
    } else if (const long n = std::atol(argv[i]); n > 0) {
      count = static_cast<std::uint32_t>(n);
    } else {
      bench::Fail("usage: bench_folder_list [recordings] [--cold] [--in FOLDER]");
    }
  }

  const auto start = Clock::now();
  const bench::RecordingFolder folder(count, base);
  std::printf("%u recordings, %.1f hours of calls, made in %.1f s in %s\n", count,
              folder.PayloadBytes() / 1000.0 / 3600, bench::SecondsSince(start),
              folder.Path().c_str());
  const CacheHome cacheHome(base);
  const catalogue::FolderCache cache(cacheHome.path / "parlomax");

  MeasureWarm(folder.Path(), count, cache);
  if (cold) MeasureCold(folder.Path(), count, cache);
  return 0;
}
