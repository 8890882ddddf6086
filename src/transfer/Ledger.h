#pragma once

#include "catalogue/RecordingHeader.h"
#include "transfer/Sha256.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace parlomax::transfer {

// Where the recordings of a copy came from: the telephone's place on the USB
// bus and the kind of chip that spoke for it; empty where nobody can tell.
struct CopySource {
  std::string place;
  std::string chip;
};

// Every complete copy leaves a line in <folder>/.parlomax/ledger.jsonl: a
// JSON object naming the file, its size and SHA-256, the call it holds, when,
// by whom and from where it was copied. Each line carries the SHA-256 of the
// line before it ("prev"; the first line, 64 zeros), so a line removed or
// changed later breaks the chain from there on. A line that a killed append
// left unfinished is no record: readers pass over it, and the next line
// chains to the last good one.
inline constexpr char kLedgerFolderName[] = ".parlomax";
inline constexpr char kLedgerFileName[] = "ledger.jsonl";
// Beside the recordings, for `sha256sum -c SHA256SUMS`.
inline constexpr char kSumsFileName[] = "SHA256SUMS";

std::filesystem::path LedgerPath(const std::filesystem::path& folder);

// One line of the ledger.
struct LedgerRecord {
  std::string name;  // within the folder, UTF-8
  std::uint64_t size = 0;
  std::string sha256;  // lower-case hexadecimal
  catalogue::RecordingHeader header{};
  std::string copiedAt;  // the PC's time, ISO 8601 with its offset
  CopySource source;
  std::string user;
  std::string program;
  std::uint64_t line = 0;  // where it was read, from 1
};

// The record of a copy made now, by this user and this program.
LedgerRecord RecordOfCopy(const std::filesystem::path& name,
                          const catalogue::RecordingHeader& header, std::uint64_t size,
                          const Sha256Digest& sha256, const CopySource& source);

// Appends `record` to the folder's ledger, making it if need be: under an
// exclusive lock, so that two programs copying into one folder never mix
// their lines; the line goes out in one write and is synced before this
// returns. 0, or the system's error number of what failed (then no line
// was written, or only part of one, which readers pass over).
int AppendToLedger(const std::filesystem::path& folder, const LedgerRecord& record);

// How the ledger's lines hold together.
struct ChainState {
  std::uint64_t lines = 0;     // complete lines read
  std::uint64_t records = 0;   // of which records
  std::uint64_t cutLines = 0;  // lines that are no record: appends cut short
  bool lastLineCut = false;    // the file ends inside a line
  // The first line whose "prev" is not the SHA-256 of the last good line
  // before it (from 1); 0 while the chain holds.
  std::uint64_t brokenAt = 0;
  bool Intact() const { return brokenAt == 0; }
};

// A ledger as read: the latest record of each name, and its chain.
struct LedgerContents {
  // 0; ENOENT when the folder has no ledger (yet); else why it cannot be read.
  int error = 0;
  std::map<std::string, LedgerRecord> latest;
  ChainState chain;
};
LedgerContents ReadLedger(const std::filesystem::path& folder);

// Rewrites <folder>/SHA256SUMS whole from the ledger (the latest record of
// each name whose file is still there), under the ledger's lock; never by
// reading the recordings. Names sha256sum would have to escape (a newline
// or a backslash in them) are left out: the program never makes such names.
// 0, or the system's error number; ENOENT when there is no ledger.
int RewriteSums(const std::filesystem::path& folder);

}  // namespace parlomax::transfer
