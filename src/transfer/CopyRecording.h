#pragma once

#include "transfer/FileWriter.h"
#include "transfer/Ledger.h"
#include "transfer/SaveFolder.h"
#include "transfer/TransferView.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

namespace parlomax::device {
class DeviceLink;
}
namespace parlomax::shell {
class MessageService;
}

namespace parlomax::transfer {

inline const QString kCreateFileFailedMessage = QStringLiteral("创建文件错误");
// "创建文件错误", then which file and why.
QString CreateFailedText(const std::filesystem::path& file, int error);
// A job's closing words when `count` recordings were not copied whole.
QString NotCopiedWholeText(std::uint32_t count);
// Said when `count` recordings took new names, the first of them `first`.
QString NewNamesText(std::uint32_t count, const std::filesystem::path& first);
// A telephone needs a moment to find a recording before it can describe it.
inline constexpr std::chrono::milliseconds kHeaderReplyPause{100};

// The working variables of one job's copying. Every job has its own.
struct CopyState {
  std::uint32_t payloadLength = 0;
  std::uint32_t deviceAddress = 0;
  std::uint32_t packetCount = 0;
  std::uint32_t packetIndex = 0;
  std::uint32_t chunkSize = 0;
  std::uint32_t bytesDone = 0;
  QString fileName;  // the recording's own name
  // Where the last copy went in the folder: its own name, or the name of
  // the file that held the call already, or a new name when its own was
  // taken by another call; a cut one kept beside, its ".part".
  std::filesystem::path savedAs;
  // Its own name held another call, so it went under a new one.
  bool tookNewName = false;

  // The last recording handled was copied to its end.
  bool LastRecordingComplete() const { return packetIndex == packetCount; }
};

enum class CopyOutcome {
  Copied,         // the file is complete
  PayloadFailed,  // the file holds what arrived; go on with the next recording
  Stop,           // no file was made for this recording; the job ends
  WriteFailed,    // the disk did not take the file (said so); the job ends as if stopped
  LeftOut,        // `leaveOut` said the folder has it already: no file was touched
};

struct CopyContext {
  device::DeviceLink& link;
  shell::MessageService& messages;
  TransferView& view;
  FileWriter& writer;
  SaveFolder& folder;
  std::function<bool()> stopRequested;
  std::chrono::milliseconds headerPause = kHeaderReplyPause;
  // Asked of each recording's header as the telephone sends it: true leaves
  // the recording out. Empty: nothing is left out.
  std::function<bool(const catalogue::RecordingHeader&)> leaveOut{};
  // Written into the ledger with every complete copy.
  CopySource source{};
  // Lines this context added to the folder's ledger, and whether an append
  // failed (said once: a full disk would otherwise say it for every file).
  std::uint32_t ledgerLines = 0;
  bool ledgerFailed = false;
  // A recording the disk refused was said: the sums' failure is the same news.
  bool writeFailed = false;
};

// Said when the ledger or SHA256SUMS could not be written: the recording
// itself is in the folder all the same.
QString LedgerFailedText(const std::filesystem::path& file, int error);

// After the last copy of a job: SHA256SUMS rewritten from the ledger when
// the job added to it; a failure is said, and is no reason to doubt the copies.
void FinishLedger(CopyContext& context);

// Copies recording `recordIndex` of the telephone into the save folder as a
// .spx file named for record number `fileNumber`: the 19 header bytes as the
// telephone sent them, then the payload in chunks of at most 256 bytes. The
// folder says where it goes (SaveFolder::PlaceFor): a file holding another
// call is never written over. The file it goes to is replaced without
// asking once the copy is complete and on the disk. Whatever arrived is kept when the copy is
// stopped or fails part-way: under the file's name when there was no such
// file, else beside the earlier file (which stays as it was) as
// "<name>.part". A write the disk refuses ends the copy at once with a
// message naming the file and the reason. A complete copy is entered in the
// folder's ledger with its SHA-256, taken as it was written.
CopyOutcome CopyRecording(CopyContext& context, std::uint16_t recordIndex, std::uint32_t fileNumber,
                          CopyState& state);

}  // namespace parlomax::transfer
