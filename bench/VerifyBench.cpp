// parlomax-cli verify over a folder of recordings and its ledger, against
// `sha256sum -c SHA256SUMS` over the same files, both warm, in turns, in one
// run. The folder is made here: recordings of 30 KB with their ledger.
//
//   bench_verify [recordings, default 50000] [--in FOLDER]
#include "BenchSupport.h"
#include "catalogue/RecordingHeader.h"
#include "catalogue/RecordingTexts.h"
#include "platform/shell/StartAndWait.h"
#include "transfer/Ledger.h"
#include "transfer/LedgerLine.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>

using namespace parlomax;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kFileSize = 30 * 1000;

// The folder, its recordings and a ledger naming each of them.
fs::path MakeFolder(const fs::path& base, std::uint32_t count) {
  std::string pattern = (base / "parlomax-verify-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) bench::Fail("cannot make a folder");
  const fs::path folder = pattern;
  std::mt19937 random(count);
  std::vector<std::uint8_t> bytes(kFileSize);
  std::string ledger;
  std::string prev(64, '0');
  for (std::uint32_t n = 1; n <= count; ++n) {
    const catalogue::RecordingHeader header = catalogue::EncodeRecordingHeader(
        {.callType = n % 3,
         .month = 1 + n % 12,
         .day = 1 + n % 28,
         .hour = n % 24,
         .minute = n % 60,
         .telephoneNumber = QString::number(13800000000ull + n),
         .startAddress = n * kFileSize,
         .payloadLength = kFileSize - catalogue::kRecordingHeaderSize});
    std::copy(header.begin(), header.end(), bytes.begin());
    for (std::size_t i = header.size(); i < bytes.size(); i += 4) {
      const std::uint32_t r = random();
      std::memcpy(bytes.data() + i, &r, std::min<std::size_t>(4, bytes.size() - i));
    }
    const std::string name =
        QFile::encodeName(catalogue::RecordingFileName(header, n)).toStdString();
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const auto record =
        transfer::RecordOfCopy(name, header, bytes.size(),
                               transfer::Sha256Of(std::string_view(
                                   reinterpret_cast<const char*>(bytes.data()), bytes.size())),
                               {});
    const std::string line = transfer::LedgerLineText(record, prev);
    prev = transfer::HexText(transfer::Sha256Of(line));
    ledger += line + '\n';
  }
  fs::create_directory(folder / transfer::kLedgerFolderName);
  std::ofstream(transfer::LedgerPath(folder), std::ios::binary) << ledger;
  if (transfer::RewriteSums(folder) != 0) bench::Fail("cannot write SHA256SUMS");
  return folder;
}

double Timed(const std::string& program, const std::vector<std::string>& arguments,
             const fs::path& in) {
  const fs::path before = fs::current_path();
  fs::current_path(in);
  const auto begin = Clock::now();
  const auto end = shell::StartAndWait(program, arguments);
  const double seconds = bench::SecondsSince(begin);
  fs::current_path(before);
  if (!(end == 0)) bench::Fail("a run failed");
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t count = 50000;
  fs::path base = fs::temp_directory_path();
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--in") == 0 && i + 1 < argc) {
      base = argv[++i];
    } else {
      count = static_cast<std::uint32_t>(std::strtoul(argv[i], nullptr, 10));
    }
  }
  const auto made = Clock::now();
  const fs::path folder = MakeFolder(base, count);
  std::printf("%u recordings of %u bytes (%.2f GB) and their ledger made in %.1f s\n", count,
              kFileSize, count * double{kFileSize} / 1e9, bench::SecondsSince(made));
  const auto verify = [&] {
    return Timed(PARLOMAX_CLI_PROGRAM, {"verify", folder.string()}, folder);
  };
  const auto sums = [&] {
    return Timed("/usr/bin/sha256sum", {"--quiet", "-c", "SHA256SUMS"}, folder);
  };
  verify();  // warm: every file in the page cache
  sums();
  std::vector<double> ours, theirs;
  for (int i = 0; i < 3; ++i) {
    ours.push_back(verify());
    theirs.push_back(sums());
  }
  std::sort(ours.begin(), ours.end());
  std::sort(theirs.begin(), theirs.end());
  std::printf("parlomax-cli verify:       %.2f s (median of 3)\n", ours[1]);
  std::printf("sha256sum -c SHA256SUMS:   %.2f s (median of 3)\n", theirs[1]);
  std::printf("ratio verify / sha256sum: %.2f\n", ours[1] / theirs[1]);
  fs::remove_all(folder);
  return 0;
}
