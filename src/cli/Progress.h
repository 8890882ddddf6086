#pragma once

#include "cli/StatusLine.h"
#include "transfer/TransferView.h"

#include <chrono>
#include <cstdint>
#include <functional>

namespace parlomax::cli {

// Progress over several items (recordings, files) of known total size: on a
// terminal a bar redrawn in place (item n of m, bytes, rate, time left),
// elsewhere one line per item as it is done; nothing when quiet.
//
// As the copy engine's view it hears of every chunk, and asks
// `bytesOfItem` how far the item has come.
class Progress final : public transfer::TransferView {
 public:
  Progress(StatusLine& out, bool quiet, std::uint32_t items, std::uint64_t totalBytes);

  void StartItem(const QString& name, std::function<std::uint64_t()> bytesOfItem);
  // `line` is what the item's line says after its number and name.
  void FinishItem(std::uint64_t bytes, const QString& line);
  // An item done by someone else, counted and shown as it ends.
  void AddFinishedItem(const QString& name, std::uint64_t bytes, const QString& line);
  double Seconds() const;
  std::uint64_t BytesDone() const { return bytesDone_; }

  void ShowProgressText(const QString&) override {}
  void SetRecordingBar(std::uint32_t value, std::uint32_t maximum) override;
  void SetOverallBar(std::uint32_t, std::uint32_t) override {}
  void EndJob(transfer::JobKind, bool) override {}
  void TelephoneFailed() override {}

 private:
  void DrawBar(bool now);

  StatusLine& out_;
  const bool quiet_;
  const std::uint32_t items_;
  const std::uint64_t totalBytes_;
  const std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDrawn_{};
  std::uint32_t item_ = 0;
  QString name_;
  std::function<std::uint64_t()> bytesOfItem_;
  std::uint64_t bytesDone_ = 0;  // of the items finished
};

// 1.2 MB and the like.
QString SizeText(std::uint64_t bytes);
// 0:07, 12:34, 1:02:03
QString ClockText(double seconds);

}  // namespace parlomax::cli
