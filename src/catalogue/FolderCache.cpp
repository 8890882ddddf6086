#include "catalogue/FolderCache.h"

#include "platform/files/KeptFile.h"
#include "platform/files/PlainFile.h"
#include "platform/files/PrivateFolders.h"

#include <QCryptographicHash>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace parlomax::catalogue {
namespace {

// The file: magic, version, the folder's path, the number of rows, the rows,
// then the SHA-1 of everything before it. Integers little-endian.
// A row: name length, name, size, modified, changed, inode, flags, header.
constexpr std::string_view kMagic{"PXROWS\r\n", 8};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kDigestSize = 20;
constexpr std::size_t kFixedRowSize = 4 + 8 + 8 + 8 + 8 + 1 + kRecordingHeaderSize;
constexpr std::size_t kSmallestFile = kMagic.size() + 4 + 4 + 4 + kDigestSize;
// Far beyond any folder's rows: a file this big is not ours to read whole.
constexpr std::uint64_t kLargestFile = std::uint64_t{1} << 30;
constexpr std::string_view kExtension = ".rows";

constexpr std::uint8_t kOpened = 1;
constexpr std::uint8_t kComplete = 2;

QByteArrayView View(std::span<const char> bytes) {
  return {bytes.data(), static_cast<qsizetype>(bytes.size())};
}

QByteArray Digest(std::span<const char> bytes) {
  return QCryptographicHash::hash(View(bytes), QCryptographicHash::Sha1);
}

class Writer {
 public:
  explicit Writer(std::size_t expected) { bytes_.reserve(expected); }

  template <typename T>
  void Number(T value) {
    const auto bits = static_cast<std::uint64_t>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i)
      bytes_.push_back(static_cast<char>(bits >> (8 * i)));
  }
  void Bytes(std::string_view bytes) { bytes_.append(bytes); }
  void Sized(std::string_view bytes) {
    Number(static_cast<std::uint32_t>(bytes.size()));
    Bytes(bytes);
  }
  std::string& Done() {
    const QByteArray digest = Digest(bytes_);
    bytes_.append(digest.constData(), static_cast<std::size_t>(digest.size()));
    return bytes_;
  }

 private:
  std::string bytes_;
};

// Reads what a Writer wrote; once anything runs past the end, every read
// after it fails too.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : rest_(bytes) {}

  bool Ok() const { return ok_; }
  std::size_t Left() const { return rest_.size(); }

  template <typename T>
  T Number() {
    const std::string_view raw = Take(sizeof(T));
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < raw.size(); ++i)
      bits |= std::uint64_t{static_cast<std::uint8_t>(raw[i])} << (8 * i);
    return static_cast<T>(bits);
  }
  std::string_view Take(std::size_t count) {
    if (!ok_ || count > rest_.size()) {
      ok_ = false;
      return {};
    }
    const std::string_view taken = rest_.substr(0, count);
    rest_.remove_prefix(count);
    return taken;
  }
  std::string_view Sized() { return Take(Number<std::uint32_t>()); }

 private:
  std::string_view rest_;
  bool ok_ = true;
};

void WriteRow(Writer& out, const FolderRecording& row) {
  out.Sized(row.name);
  out.Number(row.fileSize);
  out.Number(row.modifiedNs);
  out.Number(row.changedNs);
  out.Number(row.inode);
  out.Number(
      static_cast<std::uint8_t>((row.opened ? kOpened : 0) | (row.complete ? kComplete : 0)));
  out.Bytes({reinterpret_cast<const char*>(row.header.data()), row.header.size()});
}

void ReadRow(Reader& in, FolderRecording& row) {
  row.name = in.Sized();
  row.fileSize = in.Number<std::uint64_t>();
  row.modifiedNs = in.Number<std::int64_t>();
  row.changedNs = in.Number<std::int64_t>();
  row.inode = in.Number<std::uint64_t>();
  const auto flags = in.Number<std::uint8_t>();
  row.opened = (flags & kOpened) != 0;
  row.complete = (flags & kComplete) != 0;
  const std::string_view header = in.Take(row.header.size());
  if (in.Ok()) std::memcpy(row.header.data(), header.data(), header.size());
}

// The whole file, when it is a plain file at that very name (a link there
// is not followed) and of a size worth reading.
std::optional<std::string> ReadWhole(const std::filesystem::path& path) {
  struct stat named {};
  if (::lstat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) return std::nullopt;
  const files::PlainFile file(path);
  struct stat opened {};
  if (!file.IsOpen() || ::fstat(file.Descriptor(), &opened) != 0 || opened.st_dev != named.st_dev ||
      opened.st_ino != named.st_ino)
    return std::nullopt;
  if (file.Size() < kSmallestFile || file.Size() > kLargestFile) return std::nullopt;
  std::string bytes(file.Size(), '\0');
  if (file.ReadAt(0, {reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()}) != bytes.size())
    return std::nullopt;
  return bytes;
}

std::optional<FolderRecordings> Parse(std::string_view bytes, std::string_view folder) {
  const std::string_view content = bytes.substr(0, bytes.size() - kDigestSize);
  if (Digest(content) != View(bytes.substr(content.size()))) return std::nullopt;
  Reader in(content);
  if (in.Take(kMagic.size()) != kMagic || in.Number<std::uint32_t>() != kVersion)
    return std::nullopt;
  // Two folders whose paths hash alike share a name; the path tells them apart.
  if (in.Sized() != folder || !in.Ok()) return std::nullopt;
  const auto count = in.Number<std::uint32_t>();
  if (!in.Ok() || count > in.Left() / kFixedRowSize) return std::nullopt;
  FolderRecordings rows(count);
  for (FolderRecording& row : rows) ReadRow(in, row);
  if (!in.Ok() || in.Left() != 0) return std::nullopt;
  return rows;
}

// The cache holds who called whom: nobody else's business, even when the
// folder was made before by someone less careful.
bool MakePrivate(const std::filesystem::path& folder) {
  if (files::MakePrivateFolders(folder) != 0) return false;
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  if (info.st_uid == ::geteuid() && (info.st_mode & 0777) != 0700) ::chmod(folder.c_str(), 0700);
  return true;
}

}  // namespace

FolderCache::FolderCache(std::filesystem::path cacheFolder)
    : cacheFolder_(std::move(cacheFolder)) {}

std::filesystem::path FolderCache::DefaultFolder() {
  const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
  if (base.isEmpty()) return {};
  return std::filesystem::path(QFile::encodeName(base).toStdString()) / "parlomax";
}

std::filesystem::path FolderCache::FileFor(const std::filesystem::path& folder) const {
  const std::string& path = folder.native();
  const QByteArray hash = QCryptographicHash::hash(View(path), QCryptographicHash::Sha1).toHex();
  return cacheFolder_ / (hash.toStdString() + std::string(kExtension));
}

std::optional<FolderRecordings> FolderCache::Load(const std::filesystem::path& folder) const {
  if (cacheFolder_.empty()) return std::nullopt;
  const auto bytes = ReadWhole(FileFor(folder));
  if (!bytes) return std::nullopt;
  return Parse(*bytes, folder.native());
}

bool FolderCache::Save(const std::filesystem::path& folder, const FolderRecordings& rows) const {
  if (cacheFolder_.empty() || rows.size() > UINT32_MAX || !MakePrivate(cacheFolder_)) return false;
  // What a run that was killed while saving left behind.
  files::RemoveLeftovers(cacheFolder_, kExtension);

  std::size_t expected = kSmallestFile + folder.native().size();
  for (const FolderRecording& row : rows) expected += kFixedRowSize + row.name.size();
  Writer out(expected);
  out.Bytes(kMagic);
  out.Number(kVersion);
  out.Sized(folder.native());
  out.Number(static_cast<std::uint32_t>(rows.size()));
  for (const FolderRecording& row : rows) WriteRow(out, row);
  const std::string& bytes = out.Done();

  files::KeptFile file;
  if (!file.Create(FileFor(folder))) return false;
  file.Write({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  return file.Finish(files::Ending::CompleteOrDiscard) == files::Placed::Target &&
         file.Error() == 0;
}

}  // namespace parlomax::catalogue
