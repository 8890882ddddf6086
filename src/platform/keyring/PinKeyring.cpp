#include "platform/keyring/PinKeyring.h"

#include "platform/files/KeptFile.h"
#include "platform/files/PrivateFolders.h"

#include <qt6keychain/keychain.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlomax::keyring {
namespace {

const QString kService = QStringLiteral("parlomax");
const QString kKey = QStringLiteral("telephone-pin");

// Runs a keychain job to its end or until `timeout`; whether it finished
// without an error. A job that does not answer in time is left to delete
// itself whenever it ends: it may still be talking to the bus.
bool Run(QKeychain::Job* job, std::chrono::milliseconds timeout) {
  job->setAutoDelete(true);
  job->setKey(kKey);
  if (!QCoreApplication::instance()) {
    job->deleteLater();
    return false;
  }
  QEventLoop loop;
  bool finished = false;
  bool good = false;
  QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* done) {
    finished = true;
    good = done->error() == QKeychain::NoError;
    loop.quit();
  });
  QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
  job->start();
  if (!finished) loop.exec();
  // The loop ends here; the job must not call back into it afterwards.
  QObject::disconnect(job, nullptr, &loop, nullptr);
  return finished && good;
}

std::optional<QString> ReadKeyring(std::chrono::milliseconds timeout) {
  auto* job = new QKeychain::ReadPasswordJob(kService);
  // Shared with the job: one that answers after the timeout still has
  // somewhere to put its answer once this has returned.
  const auto pin = std::make_shared<QString>();
  QObject::connect(job, &QKeychain::Job::finished, job, [pin](QKeychain::Job* done) {
    if (done->error() == QKeychain::NoError)
      *pin = static_cast<QKeychain::ReadPasswordJob*>(done)->textData();
  });
  if (!Run(job, timeout) || pin->isEmpty()) return std::nullopt;
  return *pin;
}

// The file's first line, only when it is a regular file nobody else may read.
std::optional<QString> ReadFile(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  char text[64] = {};
  ssize_t n = -1;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      (info.st_mode & (S_IRGRP | S_IROTH)) == 0) {
    n = ::read(fd, text, sizeof text - 1);
  }
  ::close(fd);
  if (n <= 0) return std::nullopt;
  const QString pin = QString::fromUtf8(text, static_cast<int>(n)).section(u'\n', 0, 0).trimmed();
  if (pin.isEmpty()) return std::nullopt;
  return pin;
}

bool WriteFile(const std::filesystem::path& file, const QString& pin) {
  if (files::MakePrivateFolders(file.parent_path()) != 0) return false;
  files::KeptFile kept;
  const std::string line = pin.toStdString() + "\n";
  if (!kept.Create(file)) return false;
  kept.Write({reinterpret_cast<const std::uint8_t*>(line.data()), line.size()});
  return kept.Finish(files::Ending::CompleteOrDiscard) == files::Placed::Target;
}

}  // namespace

std::filesystem::path PinKeyring::DefaultPinFile() {
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home ? home : "") / ".config/parlomax/pin";
}

PinKeyring::PinKeyring(std::filesystem::path pinFile, std::chrono::milliseconds timeout)
    : pinFile_(std::move(pinFile)), timeout_(timeout) {}

PinPlace PinKeyring::Save(const QString& pin) {
  auto* job = new QKeychain::WritePasswordJob(kService);
  job->setTextData(pin);
  if (Run(job, timeout_)) {
    // One place only: an older copy in the file would outlive a change.
    std::error_code ec;
    std::filesystem::remove(pinFile_, ec);
    return PinPlace::Keyring;
  }
  return WriteFile(pinFile_, pin) ? PinPlace::File : PinPlace::Nowhere;
}

std::optional<QString> PinKeyring::Load(PinPlace* from) {
  auto found = ReadKeyring(timeout_);
  PinPlace place = PinPlace::Keyring;
  if (!found) {
    found = ReadFile(pinFile_);
    place = found ? PinPlace::File : PinPlace::Nowhere;
  }
  if (from) *from = place;
  return found;
}

PinPlace PinKeyring::Where() {
  if (ReadKeyring(timeout_)) return PinPlace::Keyring;
  std::error_code ec;
  return std::filesystem::is_regular_file(pinFile_, ec) ? PinPlace::File : PinPlace::Nowhere;
}

bool PinKeyring::Forget() {
  // Deleting what is not there is no failure.
  Run(new QKeychain::DeletePasswordJob(kService), timeout_);
  std::error_code ec;
  std::filesystem::remove(pinFile_, ec);
  return !ec && !ReadKeyring(timeout_);
}

}  // namespace parlomax::keyring
