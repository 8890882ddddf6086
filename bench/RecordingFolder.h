#pragma once

// A folder of recordings as an office's copies leave it: files named and
// headed as the copy jobs write them, of the sizes real calls have. Only the
// header is written; the rest of each file is a hole of the payload's size,
// so that tens of thousands of calls take almost no disk.
#include "catalogue/RecordingHeader.h"
#include "catalogue/RecordingTexts.h"

#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace parlomax::bench {

class RecordingFolder {
 public:
  // `count` recordings in a new folder under `base`, the same ones for the
  // same count.
  explicit RecordingFolder(std::uint32_t count, const std::filesystem::path& base =
                                                    std::filesystem::temp_directory_path()) {
    std::string pattern = (base / "parlomax-recordings-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) Die("cannot make a folder for the recordings");
    path_ = pattern;
    std::mt19937 random(count);
    Clock clock{.month = 1, .day = 2, .minutesOfDay = 8 * 60};
    std::uint32_t address = 0;
    // Office hours, five days a week, spread over a year whatever the count.
    const double meanGapMinutes = std::max(1.0, 600.0 * 250 / count);
    std::exponential_distribution<double> gap(1 / meanGapMinutes);
    for (std::uint32_t number = 1; number <= count; ++number) {
      clock.Advance(static_cast<unsigned>(gap(random)));
      const std::uint32_t payload = DurationSeconds(random) * catalogue::kPayloadBytesPerSecond;
      const unsigned type = CallType(random);
      const catalogue::RecordingHeader header = catalogue::EncodeRecordingHeader({
          .callType = type,
          .month = clock.month,
          .day = clock.day,
          .hour = clock.minutesOfDay / 60,
          .minute = clock.minutesOfDay % 60,
          .telephoneNumber = type == kMemo ? QString() : TelephoneNumber(random),
          .startAddress = address,
          .payloadLength = payload,
      });
      // The telephone's memory wraps round as old calls are deleted.
      address = (address + payload) % (std::uint32_t{1} << 28);
      Write(QFile::encodeName(catalogue::RecordingFileName(header, number)).toStdString(), header,
            payload);
      payloadBytes_ += payload;
    }
  }
  ~RecordingFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  RecordingFolder(const RecordingFolder&) = delete;
  RecordingFolder& operator=(const RecordingFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The sound the folder's calls hold, at 1000 bytes a second.
  std::uint64_t PayloadBytes() const { return payloadBytes_; }

 private:
  static constexpr unsigned kMemo = 2;

  struct Clock {
    unsigned month, day, minutesOfDay;
    void Advance(unsigned minutes) {
      minutesOfDay += minutes;
      while (minutesOfDay >= 18 * 60) {
        minutesOfDay -= 10 * 60;
        if (++day > 28) {  // every month is February: names stay valid
          day = 1;
          month = month % 12 + 1;
        }
      }
    }
  };

  [[noreturn]] static void Die(const char* why) {
    std::fprintf(stderr, "%s\n", why);
    std::exit(1);
  }

  // Mostly half a minute to five minutes; some longer; a few up to half an hour.
  static std::uint32_t DurationSeconds(std::mt19937& random) {
    const auto share = std::uniform_int_distribution<int>(0, 99)(random);
    const auto [shortest, longest] = share < 85   ? std::pair{30, 300}
                                     : share < 97 ? std::pair{300, 900}
                                                  : std::pair{900, 1800};
    return static_cast<std::uint32_t>(
        std::uniform_int_distribution<int>(shortest, longest)(random));
  }

  static unsigned CallType(std::mt19937& random) {
    const auto share = std::uniform_int_distribution<int>(0, 99)(random);
    return share < 55 ? 0 : share < 95 ? 1 : kMemo;
  }

  static QString TelephoneNumber(std::mt19937& random) {
    const int digits = std::uniform_int_distribution<int>(7, 12)(random);
    QString number;
    for (int i = 0; i < digits; ++i)
      number += QChar('0' + std::uniform_int_distribution<int>(0, 9)(random));
    return number;
  }

  void Write(const std::string& name, const catalogue::RecordingHeader& header,
             std::uint32_t payload) const {
    const auto file = path_ / name;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 ||
        ::write(fd, header.data(), header.size()) != static_cast<ssize_t>(header.size()) ||
        ::ftruncate(fd, static_cast<off_t>(header.size() + payload)) != 0 || ::close(fd) != 0)
      Die("cannot write a recording");
  }

  std::filesystem::path path_;
  std::uint64_t payloadBytes_ = 0;
};

}  // namespace parlomax::bench
