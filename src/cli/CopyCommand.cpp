// copy: recordings into .spx files through the window's copy engine; with
// --new only those not already copied whole, for a nightly backup.
#include "catalogue/FolderList.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/Progress.h"
#include "cli/Telephone.h"
#include "platform/files/PlainFile.h"
#include "platform/files/PrivateFolders.h"
#include "platform/files/SystemReason.h"
#include "transfer/CopyRecording.h"
#include "transfer/FolderLock.h"

#include <chrono>
#include <map>
#include <optional>

namespace parlomax::cli {
namespace {

namespace fs = std::filesystem;
using catalogue::kRecordingHeaderSize;

std::uint64_t FileSizeOf(const catalogue::RecordingHeader& header) {
  return kRecordingHeaderSize + std::uint64_t{catalogue::PayloadLength(header)};
}

struct Plan {
  std::vector<std::uint16_t> indexes;
  std::uint32_t skipped = 0;
  std::uint64_t bytes = 0;
};

// Which recordings to copy, or an empty optional after telling the user why none can be.
std::optional<Plan> MakePlan(const Arguments& a, const TelephoneList& list,
                             const transfer::SaveFolder& folder,
                             const std::map<std::uint16_t, const catalogue::DeviceListRow*>& rows,
                             StatusLine& out) {
  Plan plan;
  const std::uint32_t count = *list.count;
  for (const std::uint16_t index : a.recordIndexes) {
    if (index >= count) {
      Say(out, QStringLiteral("电话里只有 %1 个录音，没有第 %2 个").arg(count).arg(index + 1));
      return std::nullopt;
    }
  }
  if (!a.recordIndexes.empty()) {
    plan.indexes = a.recordIndexes;
  } else {
    for (std::uint32_t i = 0; i < count; ++i) {
      if (i != catalogue::kNeverRequestedIndex) plan.indexes.push_back(static_cast<std::uint16_t>(i));
    }
  }
  // A call is in the folder when a file holds it to its last byte, under
  // whatever name; two recordings that look alike (a redial in the same
  // minute, of the same length) are both there only with two such files.
  std::map<catalogue::RecordingHeader, std::size_t> onTelephone;
  for (const auto& [index, row] : rows) ++onTelephone[catalogue::CallOf(row->header)];
  std::erase_if(plan.indexes, [&](std::uint16_t index) {
    const auto row = rows.find(index);
    const bool skip = a.newOnly && row != rows.end() &&
                      folder.WholeCopiesOf(row->second->header) >=
                          onTelephone[catalogue::CallOf(row->second->header)];
    plan.skipped += skip ? 1 : 0;
    if (!skip) plan.bytes += row != rows.end() ? FileSizeOf(row->second->header) : kRecordingHeaderSize;
    return skip;
  });
  return plan;
}

QString KeptText(const fs::path& folder, const transfer::CopyState& state) {
  return QStringLiteral("%1 只收到 %2 / %3 字节，已收到的部分保存为 %4")
      .arg(state.fileName)
      .arg(kRecordingHeaderSize + state.bytesDone)
      .arg(kRecordingHeaderSize + std::uint64_t{state.payloadLength})
      .arg(PathText(folder / state.savedAs));
}

QString NewNameText(const fs::path& folder, const transfer::CopyState& state) {
  return QStringLiteral("%1：这个文件名已被另一个录音的文件占用，这个录音保存为 %2")
      .arg(state.fileName, PathText(folder / state.savedAs));
}

// Who holds a folder's lock, as far as the system tells: "parlomax-cli（进程 1234）".
// Never two copies into one folder at once: the lock, or nothing after telling why not.
std::optional<transfer::FolderLock> TakeFolder(const Arguments& a, const fs::path& folder, StatusLine& out) {
  using State = transfer::FolderLock::State;
  transfer::FolderLock lock = transfer::FolderLock::TryLock(folder);
  if (lock.GetState() == State::Busy && a.waitForFolder.count() > 0) {
    Say(out, QStringLiteral("%1正在向 %2 复制，等它完成")
                 .arg(transfer::HolderText(lock), PathText(folder)));
    lock = transfer::FolderLock::Lock(folder, std::chrono::steady_clock::now() + a.waitForFolder,
                                      [] { return Interrupted(); });
  }
  switch (lock.GetState()) {
    case State::Held:
      return lock;
    case State::Busy:
      Say(out, QStringLiteral("%1正在向 %2 复制；同一个目录一次只能有一个复制，请等它完成再试")
                   .arg(transfer::HolderText(lock), PathText(folder)));
      break;
    case State::Failed:
      Say(out, QStringLiteral("无法锁定目录 %1：%2")
                   .arg(PathText(transfer::FolderLock::CornerOf(folder)), files::SystemReasonText(lock.Error())));
      break;
    case State::Stopped:
    case State::Released:
      break;
  }
  return std::nullopt;
}

}  // namespace

ExitStatus RunCopy(Telephone& telephone, const Arguments& a, StatusLine& out, TerminalMessages& messages,
                   CopyTally* tally) {
  const fs::path folder = UserPath(a.operands[0]);
  std::error_code ec;
  if (const int error = files::MakePrivateFolders(folder); error != 0) {
    Say(out, QStringLiteral("无法建立目录 %1：%2").arg(PathText(folder), files::SystemReasonText(error)));
    return kFailed;
  }
  const auto lock = TakeFolder(a, folder, out);
  if (!lock) return Interrupted() ? kInterrupted : kFailed;
  const OnForcedExit unlock([&lock] { lock->RemoveFilesAtExit(); });
  const TelephoneList list = telephone.ReadList();
  if (!list.count || telephone.Gone()) return telephone.FailureStatus();
  // What the folder holds, call by call; what a killed copy left there is
  // dealt with first.
  transfer::SaveFolder saved(folder / "");
  std::map<std::uint16_t, const catalogue::DeviceListRow*> rows;
  for (const auto& row : list.rows) rows[row.recordIndex] = &row;
  const int problemsBefore = messages.Problems();
  const auto plan = MakePlan(a, list, saved, rows, out);
  if (!plan) return kFailed;
  if (plan->indexes.empty()) {
    if (!a.quiet) Say(out, QStringLiteral("没有新的录音：%1 个录音都已复制过，什么也没有复制").arg(plan->skipped));
    return kDone;
  }

  Progress progress(out, a.quiet, static_cast<std::uint32_t>(plan->indexes.size()), plan->bytes);
  transfer::FileWriter writer;
  transfer::CopyState state;
  transfer::CopyContext context{telephone.Link(), messages, progress,
                                writer,           saved,    [] { return Interrupted(); }};
  const usb::DeviceSource source = telephone.Link().Source();
  context.source = {source.place, source.chip};
  // However the run ends, SHA256SUMS follows the ledger.
  struct SumsAtEnd {
    transfer::CopyContext& context;
    ~SumsAtEnd() { transfer::FinishLedger(context); }
  } sumsAtEnd{context};
  CopyTally ownTally;
  CopyTally& counted = tally ? *tally : ownTally;
  std::uint32_t& copied = counted.copied;
  std::uint32_t failed = 0;
  for (const std::uint16_t index : plan->indexes) {
    if (Interrupted()) break;
    const auto row = rows.find(index);
    const QString name = row != rows.end() ? row->second->fileName : QStringLiteral("第 %1 个录音").arg(index + 1);
    state.bytesDone = 0;  // the engine clears it only once the recording's header is in
    progress.StartItem(name, [&state] { return kRecordingHeaderSize + std::uint64_t{state.bytesDone}; });
    const auto outcome = transfer::CopyRecording(context, index, index + 1u, state);
    const bool kept =
        outcome == transfer::CopyOutcome::PayloadFailed || outcome == transfer::CopyOutcome::Copied;
    if (kept && state.tookNewName) Say(out, NewNameText(folder, state));
    if (outcome == transfer::CopyOutcome::Copied && state.LastRecordingComplete()) {
      ++copied;
      progress.FinishItem(kRecordingHeaderSize + std::uint64_t{state.payloadLength},
                          SizeText(kRecordingHeaderSize + std::uint64_t{state.payloadLength}));
      continue;
    }
    if (telephone.Gone()) {
      Say(out, QStringLiteral("电话已断开，复制中止") +
                   (kept ? QStringLiteral("：") + KeptText(folder, state) : QString()));
      return kTelephoneGone;
    }
    if (Interrupted()) {
      Say(out, QStringLiteral("已中断") +
                   (kept ? QStringLiteral("：") + KeptText(folder, state) : QString()));
      return kInterrupted;
    }
    ++failed;
    progress.FinishItem(0, QStringLiteral("失败"));
    // A recording whose description cannot be read, or whose file cannot be
    // made or written, ends the job, as in the window.
    if (outcome == transfer::CopyOutcome::Stop || outcome == transfer::CopyOutcome::WriteFailed) break;
  }
  transfer::FinishLedger(context);
  if (Interrupted()) {
    Say(out, QStringLiteral("已中断"));
    return kInterrupted;
  }
  const std::uint32_t notTried = static_cast<std::uint32_t>(plan->indexes.size()) - copied - failed;
  counted.notCopied = failed + notTried;
  if (!a.quiet || failed + notTried > 0) {
    QString summary = QStringLiteral("复制了 %1 个录音（%2，用时 %3 秒）")
                          .arg(copied).arg(SizeText(progress.BytesDone())).arg(progress.Seconds(), 0, 'f', 1);
    if (plan->skipped > 0) summary += QStringLiteral("，跳过 %1 个已复制过的").arg(plan->skipped);
    if (failed + notTried > 0) summary += QStringLiteral("；%1 个没有复制成功").arg(failed + notTried);
    Say(out, summary);
  }
  return failed + notTried == 0 && messages.Problems() == problemsBefore ? kDone : kFailed;
}

}  // namespace parlomax::cli
