#pragma once

#include "ChildProcess.h"
#include "FileBytes.h"
#include "ProgramRun.h"
#include "RecordingBytes.h"
#include "TempFolder.h"
#include "catalogue/RecordingTexts.h"
#include "phone/TelephoneModel.h"
#include "platform/usb/EmulatorDeviceLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

namespace parlomax::testing {

// Header and payload of a recording, as a finished copy holds them.
inline std::vector<std::uint8_t> Spx(const phone::TelephoneModel& model, std::uint16_t index) {
  return RecordingBytes(model, index);
}

inline std::filesystem::path FileOf(const std::filesystem::path& folder, const phone::TelephoneModel& model,
                                    std::uint16_t index) {
  return folder / catalogue::RecordingFileName(model.Header(index), index + 1u).toStdString();
}

// parlomax-cli run as a script or a timer runs it, against telephones played
// by the parlomax-phone program, each test with a runtime folder of its own.
class CliWithEmulator : public ::testing::Test {
 protected:
  // A telephone played by parlomax-phone where the program looks for
  // emulators; `options` go to it as they are.
  std::unique_ptr<ChildProcess> PlugIn(std::vector<std::string> options) {
    std::vector<std::string> argv{PARLOMAX_PHONE_PROGRAM, "--folder", Emulators().string()};
    argv.insert(argv.end(), options.begin(), options.end());
    auto phone = std::make_unique<ChildProcess>(argv);
    usb::EmulatorDeviceLibrary library(Emulators());
    std::uint32_t count = 0;
    for (int i = 0; i < 1000 && count == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      library.DeviceCount(count);
    }
    EXPECT_EQ(count, 1u);
    return phone;
  }
  std::filesystem::path Emulators() const { return runtime_ / "parlomax"; }
  // The environment a run gets: the test's runtime folder, and the PIN
  // unless `environment` says otherwise.
  std::vector<std::string> Environment(std::vector<std::string> environment) const {
    environment.push_back("XDG_RUNTIME_DIR=" + runtime_.Path().string());
    if (std::none_of(environment.begin(), environment.end(), [](auto& e) { return e.starts_with("PARLOMAX_PIN"); })) {
      environment.push_back("PARLOMAX_PIN");
    }
    return environment;
  }
  ProgramResult Cli(std::vector<std::string> arguments, std::vector<std::string> environment = {"PARLOMAX_PIN=9174"}) {
    arguments.insert(arguments.begin(), PARLOMAX_CLI_PROGRAM);
    return RunProgram(arguments, Environment(std::move(environment)));
  }
  std::filesystem::path Folder(const std::string& name) const { return work_ / name; }

  TempFolder runtime_, work_;
};

}  // namespace parlomax::testing
