#include "platform/spreadsheet/CompoundFile.h"

#include "platform/spreadsheet/ByteWriter.h"

#include <algorithm>

namespace parlomax::spreadsheet {
namespace {

constexpr std::size_t kSector = 512;
constexpr std::uint32_t kFree = 0xFFFFFFFF, kEndOfChain = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD,
                        kDifatSector = 0xFFFFFFFC, kNoStream = 0xFFFFFFFF;
constexpr std::size_t kMiniStreamCutoff = 4096;
constexpr std::size_t kHeaderFatEntries = 109;
constexpr std::size_t kEntriesPerSector = kSector / 4;  // 128
constexpr std::size_t kFatNumbersPerDifat = kEntriesPerSector - 1;

std::size_t SectorsFor(std::size_t bytes) { return (bytes + kSector - 1) / kSector; }

void DirectoryEntry(ByteWriter& out, std::u16string_view name, std::uint8_t type, std::uint32_t child,
                    std::uint32_t start, std::uint64_t size) {
  const std::size_t begin = out.Size();
  for (char16_t c : name) out.U16(c);
  out.U16(0);
  out.Zeros(0x40 - (out.Size() - begin));
  out.U16(name.empty() ? 0 : static_cast<std::uint16_t>((name.size() + 1) * 2));
  out.U8(type);
  out.U8(1);  // black
  out.U32(kNoStream);
  out.U32(kNoStream);
  out.U32(child);
  out.Zeros(0x74 - 0x50);
  out.U32(start);
  out.U64(size);
}

}  // namespace

std::vector<std::uint8_t> CompoundFile(std::u16string_view streamName,
                                       std::vector<std::uint8_t> stream) {
  if (stream.size() < kMiniStreamCutoff) stream.resize(kMiniStreamCutoff, 0);
  const std::size_t dataSectors = SectorsFor(stream.size());
  const std::size_t directorySectors = 1;

  // Enough FAT sectors to map every sector, themselves and the DIFAT
  // sectors that list those beyond the header's 109 included.
  std::size_t fatSectors = 1, difatSectors = 0;
  for (;;) {
    difatSectors = fatSectors > kHeaderFatEntries
                       ? (fatSectors - kHeaderFatEntries + kFatNumbersPerDifat - 1) / kFatNumbersPerDifat
                       : 0;
    const std::size_t total = dataSectors + directorySectors + fatSectors + difatSectors;
    if (fatSectors * kEntriesPerSector >= total) break;
    ++fatSectors;
  }
  // Layout: the stream, the directory, the FAT, the DIFAT.
  const std::uint32_t directoryStart = static_cast<std::uint32_t>(dataSectors);
  const std::uint32_t fatStart = directoryStart + static_cast<std::uint32_t>(directorySectors);
  const std::uint32_t difatStart = fatStart + static_cast<std::uint32_t>(fatSectors);

  std::vector<std::uint32_t> fat(fatSectors * kEntriesPerSector, kFree);
  for (std::size_t s = 0; s < dataSectors; ++s) {
    fat[s] = s + 1 < dataSectors ? static_cast<std::uint32_t>(s + 1) : kEndOfChain;
  }
  fat[directoryStart] = kEndOfChain;
  for (std::size_t f = 0; f < fatSectors; ++f) fat[fatStart + f] = kFatSector;
  for (std::size_t d = 0; d < difatSectors; ++d) fat[difatStart + d] = kDifatSector;

  ByteWriter out;
  out.Bytes().reserve((1 + dataSectors + directorySectors + fatSectors + difatSectors) * kSector);
  // Header.
  for (std::uint8_t b : {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}) out.U8(b);
  out.Zeros(16);
  out.U16(0x003E);
  out.U16(3);
  out.U16(0xFFFE);
  out.U16(9);
  out.U16(6);
  out.Zeros(6);
  out.U32(0);
  out.U32(static_cast<std::uint32_t>(fatSectors));
  out.U32(directoryStart);
  out.U32(0);
  out.U32(kMiniStreamCutoff);
  out.U32(kEndOfChain);  // no mini FAT
  out.U32(0);
  out.U32(difatSectors ? difatStart : kEndOfChain);
  out.U32(static_cast<std::uint32_t>(difatSectors));
  for (std::size_t i = 0; i < kHeaderFatEntries; ++i) {
    out.U32(i < fatSectors ? fatStart + static_cast<std::uint32_t>(i) : kFree);
  }

  // The stream, padded to whole sectors.
  out.Append(stream);
  out.Zeros(dataSectors * kSector - stream.size());

  // The directory: the root, the stream, and two empty entries.
  DirectoryEntry(out, u"Root Entry", 5, 1, kEndOfChain, 0);
  DirectoryEntry(out, streamName, 2, kNoStream, 0, stream.size());
  DirectoryEntry(out, u"", 0, kNoStream, 0, 0);
  DirectoryEntry(out, u"", 0, kNoStream, 0, 0);

  for (std::uint32_t entry : fat) out.U32(entry);

  // DIFAT sectors: the FAT sectors the header has no room for.
  for (std::size_t d = 0; d < difatSectors; ++d) {
    for (std::size_t i = 0; i < kFatNumbersPerDifat; ++i) {
      const std::size_t f = kHeaderFatEntries + d * kFatNumbersPerDifat + i;
      out.U32(f < fatSectors ? fatStart + static_cast<std::uint32_t>(f) : kFree);
    }
    out.U32(d + 1 < difatSectors ? difatStart + static_cast<std::uint32_t>(d + 1) : kEndOfChain);
  }
  return out.Bytes();
}

}  // namespace parlomax::spreadsheet
