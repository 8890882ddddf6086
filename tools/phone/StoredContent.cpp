#include "phone/Content.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace parlomax::phone {
namespace {

constexpr char kImageMagic[] = "PARLOMAX-PHONE-IMAGE 1\n";
constexpr std::size_t kImageMagicSize = sizeof(kImageMagic) - 1;

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error(file.string() + ": cannot be opened");
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

std::vector<Recording> LoadSpxFolder(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.is_regular_file() && entry.path().extension() == ".spx") files.push_back(entry.path());
  }
  if (ec) throw std::runtime_error(folder.string() + ": " + ec.message());
  std::sort(files.begin(), files.end());

  std::vector<Recording> recordings;
  for (const auto& file : files) {
    const auto bytes = ReadWholeFile(file);
    if (bytes.size() < catalogue::kRecordingHeaderSize) {
      throw std::runtime_error(file.string() + ": shorter than a recording header (19 bytes)");
    }
    Recording r;
    catalogue::RecordingHeader header;
    std::copy_n(bytes.begin(), header.size(), header.begin());
    r.header = header;
    r.call = catalogue::DecodeRecordingHeader(header);
    // What the file holds, even if its header promised more.
    const std::size_t promised = catalogue::PayloadLength(header);
    const std::size_t held = bytes.size() - header.size();
    r.payload.assign(bytes.begin() + header.size(),
                     bytes.begin() + header.size() + std::min(promised, held));
    r.markEmpty = std::all_of(header.begin() + 15, header.end(), [](auto b) { return b == 0xFF; });
    recordings.push_back(std::move(r));
  }
  return recordings;
}

void SaveImage(const TelephoneModel& model, const std::filesystem::path& file) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  const std::uint16_t count = model.Count();
  const std::uint8_t countBytes[2] = {static_cast<std::uint8_t>(count),
                                      static_cast<std::uint8_t>(count >> 8)};
  out.write(kImageMagic, kImageMagicSize);
  out.write(reinterpret_cast<const char*>(countBytes), 2);
  out.write(reinterpret_cast<const char*>(model.Memory().data()),
            static_cast<std::streamsize>(model.Memory().size()));
  out.close();
  if (!out) throw std::runtime_error(file.string() + ": cannot be written");
}

std::shared_ptr<TelephoneModel> LoadImage(const std::filesystem::path& file, Pin pin) {
  auto bytes = ReadWholeFile(file);
  if (bytes.size() < kImageMagicSize + 2 ||
      std::memcmp(bytes.data(), kImageMagic, kImageMagicSize) != 0) {
    throw std::runtime_error(file.string() + ": not a telephone memory image");
  }
  const auto count = static_cast<std::uint16_t>(bytes[kImageMagicSize] |
                                                (bytes[kImageMagicSize + 1] << 8));
  std::vector<std::uint8_t> memory(bytes.begin() + kImageMagicSize + 2, bytes.end());
  try {
    return std::make_shared<TelephoneModel>(pin, count, std::move(memory));
  } catch (const std::invalid_argument& e) {
    throw std::runtime_error(file.string() + ": " + e.what());
  }
}

}  // namespace parlomax::phone
