#pragma once

#include "catalogue/RecordingHeader.h"
#include "transfer/Ledger.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace parlomax::transfer {

// What became of a recording since it was copied.
enum class Verdict {
  Intact,       // as the ledger's latest record of its name says: size and SHA-256
  Changed,      // there, but its size or SHA-256 is not what was copied
  Missing,      // in the ledger, not in the folder
  NeverCopied,  // in the folder, never entered in the ledger
  Cut,          // shorter than its header says, or a ".part": a copy that was cut short
};

// What is known of one file of the folder.
struct FileFacts {
  bool present = false;
  std::uint64_t size = 0;
  // Its first 19 bytes, when it has them.
  std::optional<catalogue::RecordingHeader> header;
  bool partName = false;  // "<name>.part", "<name>.part-2", ...
  std::string sha256;     // hex; empty when not hashed (yet)
};

// The verdict on one file given the ledger's latest record of its name
// (null when none). Nothing when only its SHA-256 can tell: the file is the
// size that was copied, and was not hashed. A window can so judge a folder
// from sizes alone and hash only what needs it.
std::optional<Verdict> JudgeFile(const LedgerRecord* latest, const FileFacts& facts);

struct RecordingVerdict {
  std::string name;  // within the folder
  Verdict verdict = Verdict::NeverCopied;
  FileFacts facts;
  std::optional<LedgerRecord> record;  // the ledger's latest for the name
};

struct FolderVerification {
  // 0, or why the folder cannot be read (its recordings are then unknown).
  int error = 0;
  // By name: the folder's recordings (*.spx and cut copies beside them)
  // and every name the ledger holds.
  std::vector<RecordingVerdict> recordings;
  // The ledger's error (ENOENT: the folder has none), latest records and chain.
  LedgerContents ledger;
};

// Checks every recording of `folder` against its ledger, hashing (on a few
// threads, in big sequential reads) only the files whose size matches
// their record. A stop leaves the rest of the files unjudged. `readers`: how
// many threads hash at once; 0 for as many as the processor has cores (4 at
// most).
FolderVerification VerifyFolder(const std::filesystem::path& folder, std::stop_token stop = {},
                                unsigned readers = 0);

}  // namespace parlomax::transfer
