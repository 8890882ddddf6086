// The Debian package as a user gets it: made by scripts/package, checked by
// Debian's own tools, unpacked anywhere and started from there.
#include "ChildProcess.h"
#include "TempFolder.h"
#include "audio/ExternalDecoder.h"
#include "platform/shell/StartAndWait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <csignal>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

namespace parlomax {
namespace {

namespace fs = std::filesystem;

// What a shell command printed; empty when it failed.
std::string Output(const std::string& command, const fs::path& scratch) {
  const auto file = scratch / "output.txt";
  if (shell::StartAndWait("sh", {"-c", command + " > '" + file.string() + "' 2>&1"}) != 0) return {};
  std::ifstream in(file);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int WorkingFolders(const fs::path& runtime) {
  int found = 0;
  for (const auto& entry : fs::directory_iterator(runtime)) {
    if (entry.path().filename().string().starts_with("parlomax-")) ++found;
  }
  return found;
}

TEST(DebianPackage, HoldsWhatAUserNeedsPassesDebiansChecksAndRunsWhereverItIsUnpacked) {
  testing::TempFolder scratch, root, runtime;
  const fs::path source = PARLOMAX_SOURCE_DIR;
  const fs::path deb = source / "build-package" / ("parlomax_" PARLOMAX_VERSION "_amd64.deb");
  ASSERT_EQ(shell::StartAndWait("env", {"PARLOMAX_SKIP_SETUP=1", (source / "scripts/package").string()}), 0);
  ASSERT_TRUE(fs::exists(deb));

  // Its files, and nothing under a folder of its own making but these.
  std::istringstream listing(Output("dpkg-deb -c '" + deb.string() + "' | awk '{print $6}'", scratch.Path()));
  std::set<std::string> files;
  for (std::string line; std::getline(listing, line);) {
    if (!line.ends_with("/")) files.insert(line);
  }
  const std::set<std::string> expected{
      "./usr/bin/parlomax",
      "./usr/bin/parlomax-cli",
      "./usr/bin/parlomax-phone",
      "./usr/libexec/parlomax/speex",
      "./usr/lib/udev/rules.d/70-parlomax-telephone.rules",
      "./usr/lib/systemd/user/parlomax-backup.service",
      "./usr/lib/systemd/user/parlomax-backup.timer",
      "./usr/lib/systemd/user/parlomax-autocopy@.service",
      "./usr/share/applications/org.parlomax.Parlomax.desktop",
      "./usr/share/icons/hicolor/scalable/apps/org.parlomax.Parlomax.svg",
      "./usr/share/icons/hicolor/16x16/apps/org.parlomax.Parlomax.png",
      "./usr/share/icons/hicolor/32x32/apps/org.parlomax.Parlomax.png",
      "./usr/share/icons/hicolor/48x48/apps/org.parlomax.Parlomax.png",
      "./usr/share/icons/hicolor/64x64/apps/org.parlomax.Parlomax.png",
      "./usr/share/icons/hicolor/128x128/apps/org.parlomax.Parlomax.png",
      "./usr/share/icons/hicolor/256x256/apps/org.parlomax.Parlomax.png",
      "./usr/share/metainfo/org.parlomax.Parlomax.metainfo.xml",
      "./usr/share/man/man1/parlomax.1.gz",
      "./usr/share/man/man1/parlomax-cli.1.gz",
      "./usr/share/man/man1/parlomax-phone.1.gz",
      "./usr/share/man/zh_CN/man1/parlomax.1.gz",
      "./usr/share/man/zh_CN/man1/parlomax-cli.1.gz",
      "./usr/share/man/zh_CN/man1/parlomax-phone.1.gz",
      "./usr/share/doc/parlomax/copyright",
      "./usr/share/doc/parlomax/changelog.gz",
      "./usr/share/lintian/overrides/parlomax"};
  EXPECT_EQ(files, expected);
  const std::string control = Output("dpkg-deb -f '" + deb.string() + "'", scratch.Path());
  EXPECT_NE(control.find("qt6-translations-l10n"), std::string::npos);
  EXPECT_NE(control.find("fonts-wqy-microhei"), std::string::npos);
  EXPECT_NE(control.find("libqt6widgets6"), std::string::npos);  // found in the binaries
  EXPECT_NE(control.find("libqt6keychain1"), std::string::npos);
  EXPECT_NE(control.find("Recommends: pulseaudio | pipewire-pulse"), std::string::npos);

  EXPECT_EQ(shell::StartAndWait("lintian", {"--fail-on", "error,warning", deb.string()}), 0)
      << Output("lintian '" + deb.string() + "'", scratch.Path());
  ASSERT_EQ(shell::StartAndWait("dpkg-deb", {"-x", deb.string(), root.Path().string()}), 0);
  const fs::path share = root / "usr/share";
  EXPECT_EQ(shell::StartAndWait("desktop-file-validate",
                                {(share / "applications/org.parlomax.Parlomax.desktop").string()}), 0);
  EXPECT_EQ(shell::StartAndWait("appstreamcli",
                                {"validate", "--no-net", (share / "metainfo/org.parlomax.Parlomax.metainfo.xml").string()}), 0);

  // The unpacked program finds the decoder it came with.
  const fs::path decoder = root / "usr/libexec/parlomax/speex";
  EXPECT_EQ(audio::FindDecoderProgram(root / "usr/bin"), decoder.string());
  EXPECT_EQ(shell::StartAndWait((root / "usr/bin/parlomax-cli").string(), {"--version"}), 0);

  // The user units as systemd reads them, the plug-in copy instantiated for
  // a telephone's sysfs path as udev names it; the program named by the
  // unpacked path, since systemd looks for a bare name only where it is installed.
  const fs::path units = scratch / "units";
  fs::create_directories(units);
  for (const std::string unit : {"parlomax-backup.service", "parlomax-backup.timer", "parlomax-autocopy@.service"}) {
    std::ifstream in(root / "usr/lib/systemd/user" / unit);
    std::string text(std::istreambuf_iterator<char>(in), {});
    for (std::size_t at; (at = text.find("ExecStart=parlomax-cli")) != std::string::npos;) {
      text.replace(at, std::strlen("ExecStart=parlomax-cli"), "ExecStart=" + (root / "usr/bin/parlomax-cli").string());
    }
    std::ofstream(units / unit) << text;
  }
  ::setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
  // (systemd-analyze verify takes a ":" in a unit file's path for something else.)
  const std::string instance = "parlomax-autocopy@sys-devices-usb1-1\\x2d2.service";
  const std::string verify = "systemd-analyze verify --user --man=no '" + (units / "parlomax-backup.service").string() +
                             "' '" + (units / "parlomax-backup.timer").string() + "' '" + (units / instance).string() + "'";
  EXPECT_EQ(Output(verify + " && echo verified", scratch.Path()), "verified\n") << Output(verify, scratch.Path());
  const std::string rule = Output("cat '" + (root / "usr/lib/udev/rules.d/70-parlomax-telephone.rules").string() + "'",
                                  scratch.Path());
  EXPECT_NE(rule.find(R"(TAG+="systemd", ENV{SYSTEMD_USER_WANTS}+="parlomax-autocopy@.service")"), std::string::npos);

  // Started from there, it comes up and ends cleanly on SIGTERM.
  ::setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  testing::ChildProcess program({(root / "usr/bin/parlomax").string()});
  for (int i = 0; i < 1000 && WorkingFolders(runtime.Path()) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(WorkingFolders(runtime.Path()), 1);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(10000), 0);
  EXPECT_EQ(WorkingFolders(runtime.Path()), 0);
}

}  // namespace
}  // namespace parlomax
