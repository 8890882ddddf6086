#include "transfer/CopyRecording.h"

#include "catalogue/RecordingTexts.h"
#include "device/DeviceLink.h"
#include "platform/files/SystemReason.h"
#include "platform/shell/MessageService.h"

#include <algorithm>

namespace parlomax::transfer {
namespace {

using device::Command;
using device::FramePreparation;
using Clock = std::chrono::steady_clock;

// The chunk bar is redrawn a few dozen times a second at most: a copy moves
// thousands of chunks a second, and the window need not hear of each.
constexpr auto kBarRefresh = std::chrono::milliseconds(20);

}  // namespace

QString CreateFailedText(const std::filesystem::path& file, int error) {
  return kCreateFileFailedMessage +
         QStringLiteral("\n%1：%2").arg(files::PathText(file), files::SystemReasonText(error));
}

QString NotCopiedWholeText(std::uint32_t count) {
  return QStringLiteral(
             "上传结束，但有 %1 个录音没有完整复制（已收到的部分已经保存）。"
             "请先不要删除电话里的录音，稍后再上传一次。")
      .arg(count);
}

QString NewNamesText(std::uint32_t count, const std::filesystem::path& first) {
  return QStringLiteral(
             "有 %1 个录音的文件名已被另一个录音的文件占用，这些录音保存在新的文件名下（如 %2）。")
      .arg(count)
      .arg(files::PathText(first));
}

QString LedgerFailedText(const std::filesystem::path& file, int error) {
  return QStringLiteral("录音已经保存，但无法写入复制记录 %1：%2")
      .arg(files::PathText(file), files::SystemReasonText(error));
}

void FinishLedger(CopyContext& context) {
  if (context.ledgerLines == 0) return;
  context.ledgerLines = 0;
  const auto folder = context.folder.Path();
  if (const int error = RewriteSums(folder);
      error != 0 && !context.writeFailed && !context.ledgerFailed)
    context.messages.Warn(LedgerFailedText(folder / kSumsFileName, error));
}

namespace {

// The ledger never stands in the way of a copy: the file is in the folder
// whatever becomes of its line.
void EnterInLedger(CopyContext& context, const FileEnd& end,
                   const catalogue::RecordingHeader& header) {
  const auto folder = context.folder.Path();
  const int error = AppendToLedger(
      folder, RecordOfCopy(end.at.filename(), header, end.size, end.sha256, context.source));
  if (error == 0) {
    ++context.ledgerLines;
    return;
  }
  if (!context.ledgerFailed) context.messages.Warn(LedgerFailedText(LedgerPath(folder), error));
  context.ledgerFailed = true;
}

}  // namespace

CopyOutcome CopyRecording(CopyContext& context, std::uint16_t recordIndex, std::uint32_t fileNumber,
                          CopyState& state) {
  catalogue::RecordingHeader header{};
  if (!context.link.Exchange(Command::ReadHeader(recordIndex), FramePreparation::ClearWholeFrame,
                             header, context.headerPause)) {
    return CopyOutcome::Stop;
  }
  if (context.leaveOut && context.leaveOut(header)) return CopyOutcome::LeftOut;
  state.payloadLength = catalogue::PayloadLength(header);
  state.fileName = catalogue::RecordingFileName(header, fileNumber);
  state.deviceAddress = catalogue::StartAddress(header);
  const std::filesystem::path ownName = context.folder.NameFor(state.fileName);
  const CopyPlace place = context.folder.PlaceFor(header, ownName);
  state.savedAs = place.name;
  state.tookNewName = place.holds == Holding::Nothing && place.name != ownName;

  FileWriter& file = context.writer;
  const auto path = context.folder.Path() / state.savedAs;
  // Whether it may replace what stands at the name is asked again once it
  // is whole, by its bytes: the name may have been taken since.
  const auto decide = [&folder = context.folder, ownName](const std::filesystem::path& taken,
                                                          const std::filesystem::path& written) {
    return folder.InsteadOf(taken, written, ownName);
  };
  if (!file.Open(path, decide)) {
    context.messages.Warn(CreateFailedText(path, file.Error()));
    return CopyOutcome::Stop;
  }
  state.packetCount = state.payloadLength / device::kMaxMemoryChunk + (state.payloadLength % device::kMaxMemoryChunk != 0 ? 1 : 0);
  state.bytesDone = 0;
  context.view.SetRecordingBar(0, state.packetCount);
  file.Append(header.data(), header.size());

  bool failed = false;
  std::array<std::uint8_t, device::kPayloadBufferSize> chunk{};
  auto lastShown = Clock::now();
  for (state.packetIndex = 0;
       state.packetIndex < state.packetCount && !context.stopRequested() && !file.Failed();
       ++state.packetIndex) {
    state.chunkSize = std::min<std::uint32_t>(state.payloadLength - state.bytesDone, device::kMaxMemoryChunk);
    const std::uint32_t address = state.deviceAddress;
    state.deviceAddress += state.chunkSize;
    if (!context.link.Exchange(
            Command::ReadMemory(address, static_cast<std::uint16_t>(state.chunkSize)),
            FramePreparation::ClearWholeFrame, chunk)) {
      failed = true;
      break;
    }
    state.bytesDone += state.chunkSize;
    file.Append(chunk.data(), state.chunkSize);
    const auto now = Clock::now();
    if (now - lastShown >= kBarRefresh || state.packetIndex + 1 == state.packetCount) {
      context.view.SetRecordingBar(state.packetIndex + 1, state.packetCount);
      lastShown = now;
    }
  }
  const FileEnd end =
      file.Finish(state.LastRecordingComplete() ? files::Ending::Complete : files::Ending::Cut);
  if (!end.at.empty()) state.savedAs = end.at.filename();
  if (end.placed == files::Placed::Target) {
    state.tookNewName = state.savedAs != ownName &&
                        !(place.holds != Holding::Nothing && state.savedAs == place.name);
    std::error_code ec;
    const auto size = std::filesystem::file_size(end.at, ec);
    if (!ec) context.folder.Placed(state.savedAs, header, size);
    if (end.error == 0 && end.hashed && state.LastRecordingComplete())
      EnterInLedger(context, end, header);
  }
  if (end.error != 0) {
    context.writeFailed = true;
    context.messages.Warn(files::WriteFailedText(path, end.error));
    return CopyOutcome::WriteFailed;
  }
  return failed ? CopyOutcome::PayloadFailed : CopyOutcome::Copied;
}

}  // namespace parlomax::transfer
