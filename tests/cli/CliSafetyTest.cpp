// parlomax-cli where things go wrong: a full disk, a telephone that answers
// short, entries that are not what they seem, a stop in the middle of a
// wait; and what it lets other users and other programs see.
#include "BeingWritten.h"
#include "CliWithEmulator.h"
#include "FileBytes.h"
#include "TestTelephone.h"
#include "phone/Content.h"
#include "phone/PhoneServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <map>
#include <optional>
#include <thread>

#include <sys/stat.h>

namespace parlomax {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
// The support's helpers (FileBytes, FileOf, Spx, ...) by their own names.
using namespace testing;

// Every file of a folder, hidden ones included, by name; not the folders
// in it (a copy's ledger keeps one).
std::map<std::string, Bytes> Contents(const fs::path& folder) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (!entry.is_directory()) files[entry.path().filename().string()] = FileBytes(entry.path());
  }
  return files;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A telephone served from this process, so that a test knows how far a
// program has got with it; `stall` ("CMD@N:MS") holds one answer back.
class ServedTelephone {
 public:
  ServedTelephone(const fs::path& emulators, const std::string& stall, unsigned recordings = 3)
      : server_(std::make_shared<phone::TelephoneModel>(phone::Pin{9, 1, 7, 4},
                                                        phone::GenerateRecordings(recordings, 2)),
                Stalling(stall), emulators),
        serving_([this] { server_.Serve(); }) {}
  ~ServedTelephone() { Unplug(); }

  // Waits until `commands` have arrived; how many did.
  unsigned WaitForCommands(unsigned commands) {
    for (int i = 0; i < 2000 && server_.Received() < commands; ++i) ::usleep(5000);
    return server_.Received();
  }
  unsigned Received() const { return server_.Received(); }
  void Unplug() {
    if (!serving_.joinable()) return;
    server_.Stop();
    serving_.join();
  }

 private:
  static phone::FaultPlan Stalling(const std::string& rule) {
    phone::FaultPlan faults;
    faults.AddRule(phone::FaultRule::Kind::Stall, rule);
    return faults;
  }

  phone::PhoneServer server_;
  std::thread serving_;
};

class CliSafetyTest : public testing::CliWithEmulator {
 protected:
  CliSafetyTest() : umask_(::umask(022)) {}
  ~CliSafetyTest() override { ::umask(umask_); }

  // Runs `script` with sh where "$DISK" is a file system of `size` of its
  // own (a tmpfs, in a mount namespace made for the run): what a user with
  // a small USB stick or a nearly full disk meets. The script copies out
  // what the test must see, since the file system goes with the run.
  // Nothing when this machine lets no test mount one.
  std::optional<testing::ProgramResult> OnASmallDisk(const std::string& size, const std::string& script,
                                                     std::vector<std::string> environment) {
    const fs::path disk = Folder("disk");
    fs::create_directories(disk);
    environment.push_back("DISK=" + disk.string());
    environment.push_back("CLI=" PARLOMAX_CLI_PROGRAM);
    const auto run = testing::RunProgram(
        {"/usr/bin/unshare", "-rm", "/bin/sh", "-c",
         "mount -t tmpfs -o size=" + size + " tmpfs \"$DISK\" || exit 99\n" + script},
        Environment(std::move(environment)));
    if (run.status == 99 || run.status == -1 || Contains(run.err, "unshare failed")) return std::nullopt;
    return run;
  }

  const mode_t umask_;
};

TEST_F(CliSafetyTest, AFullDiskNeverCostsAGoodCopyAndNothingCutIsCountedAsDone) {
  auto phone = PlugIn({"--generate", "6", "--seed", "3"});
  const phone::TelephoneModel model({9, 1, 7, 4}, phone::GenerateRecordings(6, 3));
  ASSERT_GT(model.Payload(1).size(), 3'000'000u);  // an hour: nearly all of a 4 MB disk
  const fs::path good = Folder("good");
  ASSERT_EQ(Cli({"copy", good.string(), "--quiet"}).status, 0);
  fs::permissions(FileOf(good, model, 1), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  // The good copies fill the disk; copying again must write each file anew
  // beside the old one before it may replace it, and for the hour-long one
  // there is no room.
  const fs::path after = Folder("after");
  fs::create_directories(after);
  const auto copy = OnASmallDisk("4m", "cp -p \"$GOOD\"/* \"$DISK\"/ || exit 98\n"
                                       "\"$CLI\" copy \"$DISK\"; status=$?\n"
                                       "cp -p \"$DISK\"/* \"$DISK\"/.[!.]* \"$AFTER\"/ 2>/dev/null; exit $status\n",
                                  {"PARLOMAX_PIN=9174", "GOOD=" + good.string(), "AFTER=" + after.string()});
  if (!copy) GTEST_SKIP() << "this machine lets no test mount a small file system";
  EXPECT_EQ(copy->status, 1) << copy->err;
  EXPECT_TRUE(Contains(copy->err, "失败：磁盘空间不足")) << copy->err;
  EXPECT_FALSE(Contains(copy->err, "复制了 6 个录音")) << copy->err;
  for (std::uint16_t i = 0; i < 6; ++i) {
    EXPECT_EQ(FileBytes(FileOf(after, model, i)), Spx(model, i)) << "recording " << i << " lost";
  }
  EXPECT_EQ(ModeOf(FileOf(after, model, 1)), 0640u);

  // Conversion onto a disk too small for all of it: what is there is whole.
  const fs::path wavs = Folder("wavs");
  fs::create_directories(wavs);
  const auto convert = OnASmallDisk("2m", "\"$CLI\" convert \"$GOOD\" \"$DISK\"; status=$?\n"
                                          "cp \"$DISK\"/* \"$WAVS\"/ 2>/dev/null; exit $status\n",
                                    {"GOOD=" + good.string(), "WAVS=" + wavs.string()});
  ASSERT_TRUE(convert);
  EXPECT_EQ(convert->status, 1) << convert->err;
  EXPECT_TRUE(Contains(convert->err, "失败：磁盘空间不足")) << convert->err;
  std::size_t whole = 0;
  for (const auto& [name, bytes] : Contents(wavs)) {
    ASSERT_GE(bytes.size(), 44u) << name;
    EXPECT_EQ(bytes[40] | bytes[41] << 8 | bytes[42] << 16 | std::uint32_t{bytes[43]} << 24, bytes.size() - 44) << name;
    ++whole;
  }
  EXPECT_LT(whole, 6u);
  EXPECT_TRUE(Contains(convert->err, "转换了 " + std::to_string(whole) + " 个文件")) << convert->err;

  // An export replacing a list on a disk with no room left: the old list stays.
  const fs::path lists = Folder("lists");
  fs::create_directories(lists);
  const auto exported = OnASmallDisk("8k", "head -c 4096 /dev/zero > \"$DISK\"/filler; echo old > \"$DISK\"/list.xls\n"
                                           "\"$CLI\" export --force \"$DISK\"/list.xls; status=$?\n"
                                           "cp \"$DISK\"/list.xls \"$LISTS\"/; ls -a \"$DISK\" > \"$LISTS\"/names; exit $status\n",
                                     {"PARLOMAX_PIN=9174", "LISTS=" + lists.string()});
  ASSERT_TRUE(exported);
  EXPECT_EQ(exported->status, 1) << exported->err;
  EXPECT_EQ(FileBytes(lists / "list.xls"), (Bytes{'o', 'l', 'd', '\n'}));
  const Bytes names = FileBytes(lists / "names");
  EXPECT_EQ(std::string(names.begin(), names.end()), ".\n..\nfiller\nlist.xls\n") << "a half list left behind";
}

TEST_F(CliSafetyTest, AFileWhoseWavCannotBeWrittenIsCountedAndTheOthersAreStillConverted) {
  const fs::path spx = Folder("spx");
  fs::create_directories(spx);
  // First in the list: a name the file system takes, but not with ".wav" after it.
  testing::WriteFile(spx / (std::string(251, '0') + ".spx"), Bytes(1019, 1));
  for (int i = 0; i < 8; ++i)
    testing::WriteFile(spx / ("0317143" + std::to_string(i) + "_0001.spx"), Bytes(1019, 1));
  const auto run = Cli({"convert", spx.string(), Folder("wav").string()});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_TRUE(Contains(run.err, "文件名太长")) << run.err;
  EXPECT_TRUE(Contains(run.err, "转换了 8 个文件")) << run.err;
  EXPECT_TRUE(Contains(run.err, "；1 个没有转换成功")) << run.err;
  EXPECT_FALSE(Contains(run.err, "没有尝试")) << run.err;
  EXPECT_EQ(Contents(Folder("wav")).size(), 8u);
}

TEST_F(CliSafetyTest, AShortReplyIsAFailedReadWhateverTheCommand) {
  const phone::TelephoneModel model({9, 1, 7, 4}, phone::GenerateRecordings(12, 1));
  const fs::path good = Folder("good");
  {
    auto phone = PlugIn({"--generate", "12", "--seed", "1"});
    ASSERT_EQ(Cli({"copy", good.string(), "--quiet"}).status, 0);
  }
  const auto before = Contents(good);
  {
    // The first chunk of the first recording: 100 bytes instead of 256.
    auto phone = PlugIn({"--generate", "12", "--seed", "1", "--short", "3@1:100"});
    const auto copy = Cli({"copy", good.string()});
    EXPECT_EQ(copy.status, 1) << copy.err;
    EXPECT_TRUE(Contains(copy.err, "USB读数据错误")) << copy.err;
    auto now = Contents(good);
    const auto cut = now.extract(FileOf(good, model, 0).filename().string() + ".part");
    ASSERT_FALSE(cut.empty());
    const Bytes& first = before.at(FileOf(good, model, 0).filename().string());
    EXPECT_EQ(cut.mapped(), Bytes(first.begin(), first.begin() + 19)) << "the header, and no chunk of zeros";
    EXPECT_EQ(now, before) << "a good copy changed";
    fs::remove(FileOf(good, model, 0).string() + ".part");
  }
  {
    // The header of a recording the copy asks for, cut to 10 bytes.
    auto phone = PlugIn({"--generate", "12", "--seed", "1", "--short", "2@13:10"});
    EXPECT_EQ(Cli({"copy", good.string()}).status, 1);
    EXPECT_EQ(Contents(good), before);
  }
  {
    // The third header of the list: that row is missing, not shown as zeros.
    auto phone = PlugIn({"--generate", "12", "--seed", "1", "--short", "2@3:10"});
    const auto list = Cli({"list"});
    EXPECT_EQ(list.status, 1);
    EXPECT_TRUE(Contains(list.err, "USB读数据错误")) << list.err;
    EXPECT_TRUE(Contains(list.err, "有 1 个录音的信息没有读到")) << list.err;
    EXPECT_FALSE(Contains(list.out, "\n3\t")) << list.out;
    EXPECT_TRUE(Contains(list.out, "\n4\t")) << list.out;
  }
  {
    // Half the PIN: a failed read, not a wrong PIN.
    auto phone = PlugIn({"--generate", "12", "--seed", "1", "--short", "4:2"});
    const auto list = Cli({"list"});
    EXPECT_EQ(list.status, 1);
    EXPECT_EQ(list.err, "parlomax-cli: USB读数据错误\n");
  }
}

TEST_F(CliSafetyTest, APipeIsPassedOverAndARecordingTooLongForAWavIsRefusedWithBoundedMemory) {
  const fs::path spx = Folder("spx");
  fs::create_directories(spx);
  const phone::TelephoneModel model({9, 1, 7, 4}, phone::GenerateRecordings(1, 4));
  testing::WriteFile(spx / "a.spx", Spx(model, 0));
  ASSERT_EQ(::mkfifo((spx / "b.spx").c_str(), 0600), 0);
  // 1.5 GB on paper, nothing on the disk; its WAV would pass 4 GiB.
  testing::WriteFile(spx / "c.spx", Spx(model, 0));
  fs::resize_file(spx / "c.spx", 1'500'000'000);
  std::vector<std::string> argv{PARLOMAX_CLI_PROGRAM, "convert", spx.string(), Folder("wav").string()};
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // Less address space than the recording: it must never be read whole.
  argv.insert(argv.begin(), {"/usr/bin/prlimit", "--as=1200000000"});
#endif
  const auto run = testing::RunProgram(argv, Environment({}), 30000);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_TRUE(Contains(run.err, "跳过 " + (spx / "b.spx").string() + "：不是普通文件")) << run.err;
  EXPECT_TRUE(Contains(run.err, "录音太长，WAV 文件装不下：" + (spx / "c.spx").string())) << run.err;
  EXPECT_TRUE(Contains(run.err, "转换了 1 个文件")) << run.err;
  EXPECT_EQ(Contents(Folder("wav")).size(), 1u);
  EXPECT_TRUE(fs::exists(Folder("wav") / "a.spx.wav"));

  // Nor is a pipe ever waited on as a PIN file.
  auto phone = PlugIn({"--generate", "1"});
  const auto pin = testing::RunProgram({PARLOMAX_CLI_PROGRAM, "--pin-file", (spx / "b.spx").string(), "list"},
                                       Environment({}), 10000);
  EXPECT_EQ(pin.status, 2) << pin.err;
  EXPECT_TRUE(Contains(pin.err, "不是普通文件")) << pin.err;

  // A pipe alone is no failure: nothing that is a recording was left out.
  fs::remove(spx / "c.spx");
  const auto again = testing::RunProgram({PARLOMAX_CLI_PROGRAM, "convert", spx.string(), Folder("wav").string()},
                                         Environment({}));
  EXPECT_EQ(again.status, 0) << again.err;
}

TEST_F(CliSafetyTest, AStopEndsItWithinMomentsEvenInTheMiddleOfAStalledRead) {
  // The copy's first header is answered only after half a minute.
  ServedTelephone telephone(Emulators(), "2@4:30000");
  const fs::path saved = Folder("saved");
  testing::ChildProcess cli({PARLOMAX_CLI_PROGRAM, "copy", saved.string()},
                            {Environment({"PARLOMAX_PIN=9174"}), "/dev/null", (work_ / "err").string(), true});
  // The PIN, the count, three headers for the list, the copy's first header.
  ASSERT_EQ(telephone.WaitForCommands(6), 6u);
  cli.Signal(SIGTERM);
  // Well before the stalled answer could have come.
  EXPECT_EQ(cli.Wait(10000), 130);
  telephone.Unplug();
  EXPECT_TRUE(fs::is_empty(saved)) << "a hidden half file left behind";
  const Bytes said = FileBytes(work_ / "err");
  EXPECT_TRUE(Contains(std::string(said.begin(), said.end()), "已中断"));
}

// A dropped call and its redial, stamped in the same minute: when the first
// is deleted on the telephone the second takes its place in the list, and
// with it the name of the first one's file.
TEST_F(CliSafetyTest, TwoCallsOfOneMinuteNeverTakeEachOthersPlace) {
  const phone::TelephoneModel both({9, 1, 7, 4}, {MakeRecording(3000, 1), MakeRecording(2000, 1)});
  const fs::path source = Folder("telephone");
  fs::create_directories(source);
  WriteFile(source / "a.spx", Spx(both, 0));
  WriteFile(source / "b.spx", Spx(both, 1));
  auto phone = PlugIn({"--spx-dir", source.string()});
  const fs::path saved = Folder("saved");
  ASSERT_EQ(Cli({"copy", saved.string(), "--new"}).status, 0);
  const fs::path first = FileOf(saved, both, 0), second = FileOf(saved, both, 1);

  phone.reset();
  fs::remove(source / "a.spx");
  phone = PlugIn({"--spx-dir", source.string()});
  // The redial's sound now lies where the deleted call's did.
  const phone::TelephoneModel redial({9, 1, 7, 4}, phone::LoadSpxFolder(source));
  const auto nightly = Cli({"copy", saved.string(), "--new"});
  EXPECT_EQ(nightly.status, 0) << nightly.err;
  EXPECT_TRUE(Contains(nightly.err, "没有新的录音")) << nightly.err;
  // Copied again on purpose: into the file that holds it, never over the other.
  ASSERT_EQ(Cli({"copy", saved.string()}).status, 0);
  EXPECT_EQ(FileBytes(first), Spx(both, 0));
  EXPECT_EQ(FileBytes(second), Spx(redial, 0));
  EXPECT_EQ(Contents(saved).size(), 2u + 1) << "the two and SHA256SUMS";

  // A copy killed in the middle left its hidden file: the next run turns it
  // into the whole copy, and nothing hidden stays.
  const Bytes whole = FileBytes(second);
  fs::remove(second);
  const fs::path leftover = saved / ("." + second.filename().string() + ".k1LLed.partial");
  WriteFile(leftover, Bytes(whole.begin(), whole.begin() + 500));
  fs::last_write_time(leftover, fs::file_time_type::clock::now() - std::chrono::minutes(5));
  const auto resumed = Cli({"copy", saved.string(), "--new"});
  EXPECT_EQ(resumed.status, 0) << resumed.err;
  EXPECT_EQ(FileBytes(second), whole);
  EXPECT_EQ(FileBytes(first), Spx(both, 0));
  EXPECT_EQ(Contents(saved).size(), 2u + 1) << "something hidden left behind";
}

TEST_F(CliSafetyTest, AStopDuringTheListLeavesNothingPrintedAndNoListReplaced) {
  const fs::path sheet = Folder("list.xls");
  for (const std::vector<std::string>& argv :
       {std::vector<std::string>{PARLOMAX_CLI_PROGRAM, "list"},
        {PARLOMAX_CLI_PROGRAM, "export", "--force", sheet.string()}}) {
    testing::WriteFile(sheet, {'o', 'l', 'd'});
    // The second header comes late, but well within the stop's grace: the
    // reading itself must notice the stop.
    ServedTelephone telephone(Emulators(), "2@2:600", 5);
    testing::ChildProcess cli(argv, {Environment({"PARLOMAX_PIN=9174"}), Folder("out").string(),
                                     Folder("err").string(), true});
    // The PIN, the count, the first header, the late one.
    EXPECT_EQ(telephone.WaitForCommands(4), 4u);
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(10000), 130) << argv[1];
    telephone.Unplug();
    const Bytes said = FileBytes(Folder("err"));
    EXPECT_TRUE(Contains(std::string(said.begin(), said.end()), "已中断"));
    EXPECT_EQ(
        Contents(work_.Path()),
        (std::map<std::string, Bytes>{{"err", said}, {"list.xls", {'o', 'l', 'd'}}, {"out", {}}}));
  }
}

TEST_F(CliSafetyTest, AListWithGapsNeverReplacesAnEarlierOneAndIsWrittenOnlyWhereNoneWas) {
  const fs::path sheet = Folder("list.xls");
  for (const bool earlier : {true, false}) {
    if (earlier) testing::WriteFile(sheet, {'o', 'l', 'd'});
    // Two of twelve headers arrive cut short.
    auto phone = PlugIn({"--generate", "12", "--short", "2@3:10", "--short", "2@8:10"});
    const auto run = Cli({"export", "--force", sheet.string()});
    phone->Signal(SIGTERM);  // unplugged whole, so that the next one takes its place at once
    phone->Wait();
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(Contains(run.err, "有 2 个录音的信息没有读到")) << run.err;
    if (earlier) {
      EXPECT_EQ(FileBytes(sheet), (Bytes{'o', 'l', 'd'}));
      fs::remove(sheet);
    } else {
      const auto read = testing::RunProgram(
          {"/usr/bin/python3", PARLOMAX_SOURCE_DIR "/tests/export/read_xls.py", sheet.string()},
          {});
      // The captions and the ten rows that were read.
      EXPECT_TRUE(Contains(read.out, "\"nrows\": 11")) << read.out << read.err;
    }
  }
}

TEST_F(CliSafetyTest, ASecondProgramIsToldTheTelephoneIsInUseUntilTheFirstLetsGoOrDies) {
  // The first program's first header is held back: it holds the telephone meanwhile.
  ServedTelephone telephone(Emulators(), "2@1:30000");
  testing::ChildProcess first({PARLOMAX_CLI_PROGRAM, "list"},
                              {Environment({"PARLOMAX_PIN=9174"}), "/dev/null", "/dev/null", true});
  ASSERT_EQ(telephone.WaitForCommands(3), 3u);

  const auto second = Cli({"list"});
  EXPECT_EQ(second.status, 1);
  EXPECT_TRUE(Contains(second.err, "另一个程序正在使用第 1 部电话")) << second.err;
  const auto doctor = Cli({"doctor"}, {});
  EXPECT_EQ(doctor.status, 1);
  EXPECT_TRUE(Contains(doctor.out, "另一个程序正在使用它")) << doctor.out;
  EXPECT_EQ(telephone.Received(), 3u) << "a second program sent a command";

  // A program that dies holding the telephone lets go with it.
  first.Signal(SIGKILL);
  first.Wait();
  const auto after = Cli({"list"});
  EXPECT_EQ(after.status, 0) << after.err;
  EXPECT_EQ(std::count(after.out.begin(), after.out.end(), '\n'), 4);
}

TEST_F(CliSafetyTest, WhatItWritesIsPrivateAndAReplacedFileKeepsItsMode) {
  auto phone = PlugIn({"--generate", "2", "--seed", "6"});
  const phone::TelephoneModel model({9, 1, 7, 4}, phone::GenerateRecordings(2, 6));
  const fs::path saved = Folder("calls") / "2026";
  ASSERT_EQ(Cli({"copy", saved.string()}).status, 0);
  EXPECT_EQ(ModeOf(Folder("calls")), 0700u);
  EXPECT_EQ(ModeOf(saved), 0700u);
  for (std::uint16_t i = 0; i < 2; ++i) EXPECT_EQ(ModeOf(FileOf(saved, model, i)), 0600u);
  ASSERT_EQ(Cli({"convert", saved.string(), (Folder("wav") / "new").string()}).status, 0);
  EXPECT_EQ(ModeOf(Folder("wav")), 0700u);
  EXPECT_EQ(ModeOf(Folder("wav") / "new" / (FileOf(saved, model, 0).filename().string() + ".wav")), 0600u);
  ASSERT_EQ(Cli({"export", Folder("list.xls").string()}).status, 0);
  EXPECT_EQ(ModeOf(Folder("list.xls")), 0600u);

  // Shared on purpose, and so it stays when copied again.
  fs::permissions(FileOf(saved, model, 0), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                               fs::perms::others_read);
  ASSERT_EQ(Cli({"copy", saved.string()}).status, 0);
  EXPECT_EQ(ModeOf(FileOf(saved, model, 0)), 0644u);
  EXPECT_EQ(ModeOf(FileOf(saved, model, 1)), 0600u);
}

TEST_F(CliSafetyTest, AnEmulatorFolderOthersMayWriteIntoIsNotBelieved) {
  auto phone = PlugIn({"--generate", "2"});
  ASSERT_EQ(Cli({"list"}).status, 0);
  fs::permissions(Emulators(), fs::perms::all);
  const auto list = Cli({"list"});
  EXPECT_EQ(list.status, 2);
  EXPECT_TRUE(Contains(list.err, "不信任 " + Emulators().string())) << list.err;
  fs::permissions(Emulators(), fs::perms::owner_all);
}

TEST_F(CliSafetyTest, TheDecoderNeverInheritsThePin) {
  // The program beside a decoder that tells what it was given.
  const fs::path programs = Folder("programs");
  fs::create_directories(programs);
  fs::copy_file(PARLOMAX_CLI_PROGRAM, programs / "parlomax-cli");
  const fs::path told = Folder("environment");
  std::ofstream(programs / "speex") << "#!/bin/sh\nenv > " << told.string() << "\nexit 1\n";
  fs::permissions(programs / "speex", fs::perms::owner_all);
  const fs::path spx = Folder("spx");
  fs::create_directories(spx);
  testing::WriteFile(spx / "a.spx", Bytes(1019, 1));
  const auto run = testing::RunProgram({(programs / "parlomax-cli").string(), "convert", spx.string(), Folder("wav").string()},
                                       Environment({"PARLOMAX_PIN=9174"}));
  EXPECT_EQ(run.status, 1);
  const Bytes environment = FileBytes(told);
  ASSERT_FALSE(environment.empty()) << "the decoder did not run";
  EXPECT_FALSE(Contains(std::string(environment.begin(), environment.end()), "PARLOMAX_PIN"));
}

}  // namespace
}  // namespace parlomax
