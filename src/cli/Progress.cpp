#include "cli/Progress.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace parlomax::cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRedraw = std::chrono::milliseconds(100);
constexpr int kBarWidth = 20;

}  // namespace

QString SizeText(std::uint64_t bytes) {
  return QLocale::c().formattedDataSize(static_cast<qint64>(bytes), 1, QLocale::DataSizeTraditionalFormat);
}

QString ClockText(double seconds) {
  const auto whole = static_cast<long long>(std::llround(std::max(0.0, seconds)));
  const long long h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
  return h > 0 ? QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'))
               : QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

Progress::Progress(StatusLine& out, bool quiet, std::uint32_t items, std::uint64_t totalBytes)
    : out_(out), quiet_(quiet), items_(items), totalBytes_(totalBytes), start_(Clock::now()) {}

double Progress::Seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

void Progress::StartItem(const QString& name, std::function<std::uint64_t()> bytesOfItem) {
  ++item_;
  name_ = name;
  bytesOfItem_ = std::move(bytesOfItem);
  DrawBar(true);
}

void Progress::FinishItem(std::uint64_t bytes, const QString& line) {
  bytesDone_ += bytes;
  bytesOfItem_ = nullptr;
  if (quiet_) return;
  if (!out_.Terminal()) {
    out_.Print(QStringLiteral("[%1/%2] %3 %4").arg(item_).arg(items_).arg(name_, line));
  } else {
    DrawBar(true);
  }
}

void Progress::AddFinishedItem(const QString& name, std::uint64_t bytes, const QString& line) {
  ++item_;
  name_ = name;
  FinishItem(bytes, line);
}

void Progress::SetRecordingBar(std::uint32_t, std::uint32_t) { DrawBar(false); }

void Progress::DrawBar(bool now) {
  if (quiet_ || !out_.Terminal()) return;
  const auto time = Clock::now();
  if (!now && time - lastDrawn_ < kRedraw) return;
  lastDrawn_ = time;
  const std::uint64_t done = bytesDone_ + (bytesOfItem_ ? bytesOfItem_() : 0);
  const double seconds = std::chrono::duration<double>(time - start_).count();
  const double rate = seconds > 0.2 ? static_cast<double>(done) / seconds : 0.0;
  const double share = totalBytes_ > 0 ? std::min(1.0, static_cast<double>(done) / static_cast<double>(totalBytes_)) : 0.0;
  const int filled = static_cast<int>(share * kBarWidth);
  QString text = QStringLiteral("[%1/%2] %3 [%4%5] %6/%7")
                     .arg(item_).arg(items_).arg(name_)
                     .arg(QString(filled, QLatin1Char('#')), QString(kBarWidth - filled, QLatin1Char('-')))
                     .arg(SizeText(done), SizeText(totalBytes_));
  if (rate > 0) {
    const double left = static_cast<double>(totalBytes_ > done ? totalBytes_ - done : 0) / rate;
    text += QStringLiteral(" %1/s 剩余 %2").arg(SizeText(static_cast<std::uint64_t>(rate)), ClockText(left));
  }
  out_.Draw(text);
}

}  // namespace parlomax::cli
