#include "catalogue/FolderList.h"

#include "platform/files/PathText.h"
#include "platform/files/PlainFile.h"
#include "platform/shell/MessageService.h"

#include <QFile>

#include <algorithm>
#include <string_view>

namespace parlomax::catalogue {
namespace {

constexpr std::string_view kExtension = ".spx";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// ".spx" in any mix of cases, as the platform the program comes from matches it.
bool EndsWithExtension(const std::string& name) {
  if (name.size() < kExtension.size()) return false;
  const auto tail = std::string_view(name).substr(name.size() - kExtension.size());
  return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                    [](char a, char b) { return Lower(a) == b; });
}

// Names in the order that platform's search gives them: letters compared
// without regard to case, then byte by byte.
bool ComesBefore(const std::filesystem::path& a, const std::filesystem::path& b) {
  const std::string x = a.filename().string(), y = b.filename().string();
  const auto folded = std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(),
                                                   [](char p, char q) { return Lower(p) < Lower(q); });
  const auto foldedBack = std::lexicographical_compare(y.begin(), y.end(), x.begin(), x.end(),
                                                       [](char p, char q) { return Lower(p) < Lower(q); });
  return folded || (!foldedBack && x < y);
}

ColumnTexts NoRecordingTexts() {
  ColumnTexts texts;
  texts.size = SizeText(0);
  texts.duration = DurationText(0);
  return texts;
}

// A file cut short (a copy that was stopped) shows the length and duration
// of the sound it holds, not those its header promises.
ColumnTexts ColumnTextsOfFile(const RecordingHeader& header, std::uint64_t fileSize) {
  ColumnTexts texts = RecordingColumnTexts(header);
  const std::uint64_t held = fileSize - kRecordingHeaderSize;
  if (held < PayloadLength(header)) {
    const auto length = static_cast<std::uint32_t>(held);
    texts.size = SizeText(length);
    texts.duration = DurationText(DurationSeconds(length));
  }
  return texts;
}

}  // namespace

std::vector<std::filesystem::path> SearchRecordingFiles(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (!EndsWithExtension(entry.path().filename().string())) continue;
    std::error_code typeError;
    if (entry.is_directory(typeError)) continue;
    files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end(), ComesBefore);
  return files;
}

std::filesystem::path FolderPath(const QString& folder) {
  return std::filesystem::path(QFile::encodeName(folder).toStdString());
}

FolderListing ListRecordingFolder(const std::filesystem::path& folder, FolderListView& view,
                                  shell::MessageService& messages) {
  const auto files = SearchRecordingFiles(folder);
  view.Clear();
  FolderListing listing;
  if (files.empty()) {
    messages.Warn(kNoSupportedFilesMessage);
    return listing;
  }
  bool unopened = false;
  for (const auto& file : files) {
    // Only plain files are opened: anything else (a pipe, a broken link)
    // could never be read as a recording, and a pipe could block forever.
    // One such entry says nothing about the others.
    const files::PlainFile in(file);
    if (!in.IsOpen()) {
      unopened = true;
      continue;
    }
    ++listing.fileCount;
    RecordingHeader header{};
    const bool complete = in.ReadAt(0, header) == header.size();
    const std::uint32_t length = complete ? PayloadLength(header) : 0;
    view.AddRow({QString::number(listing.fileCount), files::PathText(file.filename()),
                 file.filename(),
                 complete ? ColumnTextsOfFile(header, in.Size()) : NoRecordingTexts()});
    listing.conversionWorkTotal += length / kConversionStepBytes + 1;
  }
  if (unopened) messages.Warn(kNoSupportedFilesMessage);
  return listing;
}

}  // namespace parlomax::catalogue
