#pragma once

#include <QString>

#include <chrono>
#include <filesystem>
#include <optional>

namespace parlomax::keyring {

// Where a remembered PIN is kept.
enum class PinPlace { Keyring, File, Nowhere };

// The telephone's PIN, remembered for the next login and for the copy made
// when the telephone is plugged in: in the desktop's keyring (the Secret
// Service) where one answers, else in a file only its owner may read (the
// file the systemd units hand over as a credential). Each keyring request is
// given up after `timeout`, so that a desktop without a keyring never holds
// anyone up. Talking to the keyring needs a running QCoreApplication; without
// one only the file is used.
class PinKeyring {
 public:
  explicit PinKeyring(std::filesystem::path pinFile = DefaultPinFile(),
                      std::chrono::milliseconds timeout = std::chrono::seconds(5));

  // Where it went: the keyring, else the file (0600); Nowhere when neither took it.
  PinPlace Save(const QString& pin);
  // The keyring's PIN, else the file's; `from` says which.
  std::optional<QString> Load(PinPlace* from = nullptr);
  // Where a PIN is kept now, without reading the file's digits.
  PinPlace Where();
  // Removes it from both; false when one that is there could not be removed.
  bool Forget();

  const std::filesystem::path& PinFile() const { return pinFile_; }
  // ~/.config/parlomax/pin, where the units look for it.
  static std::filesystem::path DefaultPinFile();

 private:
  std::filesystem::path pinFile_;
  std::chrono::milliseconds timeout_;
};

}  // namespace parlomax::keyring
