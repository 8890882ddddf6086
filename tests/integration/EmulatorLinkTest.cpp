// The emulator backend against telephones served over real sockets: by a
// server on a thread of the test, and by the parlomax-phone program itself.
#include "platform/usb/EmulatorDeviceLibrary.h"

#include "ChildProcess.h"
#include "LateReplyChecks.h"
#include "RecordingMessageService.h"
#include "TempFolder.h"
#include "TestTelephone.h"
#include "WavWriter.h"
#include "device/PinLogin.h"
#include "phone/Content.h"
#include "phone/PhoneServer.h"
#include "platform/speex/SpeexCodec.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <future>
#include <optional>
#include <thread>

namespace parlomax::usb {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

bool WaitForCount(EmulatorDeviceLibrary& library, std::uint32_t wanted) {
  for (int i = 0; i < 500; ++i) {
    std::uint32_t count = 0;
    library.DeviceCount(count);
    if (count == wanted) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

// One command and its reply; the reply is cut to what arrived.
Status Exchange(DeviceLibrary& library, DeviceHandle handle, Bytes command, std::uint32_t replySize,
                Bytes& reply) {
  std::uint32_t n = 0;
  if (const Status s = library.Write(handle, command.data(), 8, n); s != kSuccess) return s;
  reply.assign(replySize, 0);
  const Status s = library.Read(handle, reply.data(), replySize, n);
  reply.resize(n);
  return s;
}

Bytes MemoryCommand(std::uint32_t address, std::uint16_t length) {
  return {3, static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8),
          static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 24),
          static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8), 0};
}

// A telephone that misbehaves in one way, as `rule` says.
phone::FaultPlan OneFault(phone::FaultRule::Kind kind, const std::string& rule) {
  phone::FaultPlan faults;
  faults.AddRule(kind, rule);
  return faults;
}

// A telephone served from a thread of the test.
class ServedTelephone {
 public:
  ServedTelephone(const std::filesystem::path& folder, phone::FaultPlan faults = {})
      : model_(testing::MakeTelephone(
            {testing::MakeRecording(300, 1), testing::MakeRecording(0, 2)}, {2, 0, 2, 6})),
        server_(std::in_place, model_, std::move(faults), folder),
        thread_([this] { server_->Serve(); }) {}
  ~ServedTelephone() { Unplug(); }
  // Ends the serving and gives up the telephone's place in the folder.
  void Unplug() {
    if (!server_) return;
    server_->Stop();
    thread_.join();
    server_.reset();
  }
  phone::TelephoneModel& Model() { return *model_; }
  // Waits until the telephone has had `commands` commands (answered: `answered`).
  bool WaitUntilItHas(unsigned commands, bool answered) {
    for (int i = 0; i < 1000; ++i) {
      if ((answered ? server_->Answered() : server_->Received()) >= commands) return true;
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }

 private:
  std::shared_ptr<phone::TelephoneModel> model_;
  std::optional<phone::PhoneServer> server_;
  std::thread thread_;
};

class EmulatorLinkTest : public ::testing::Test {
 protected:
  DeviceHandle Open() {
    DeviceHandle handle = 0;
    EXPECT_EQ(library_.Open(0, handle), kSuccess);
    return handle;
  }
  testing::TempFolder folder_;
  EmulatorDeviceLibrary library_{folder_.Path()};
};

TEST_F(EmulatorLinkTest, AnswersTheFourCommandsByteForByte) {
  ServedTelephone phone(folder_.Path());
  ASSERT_TRUE(WaitForCount(library_, 1));
  const DeviceHandle handle = Open();
  Bytes reply;
  ASSERT_EQ(Exchange(library_, handle, {1, 0, 0, 0, 0, 0, 0, 0}, 2, reply), kSuccess);
  EXPECT_EQ(reply, (Bytes{2, 0}));
  ASSERT_EQ(Exchange(library_, handle, {2, 1, 0, 0, 0, 0, 0, 0}, 19, reply), kSuccess);
  const auto header = phone.Model().Header(1);
  EXPECT_EQ(reply, Bytes(header.begin(), header.end()));
  ASSERT_EQ(Exchange(library_, handle, {4, 0, 0, 0, 0, 0, 0, 0}, 4, reply), kSuccess);
  EXPECT_EQ(reply, (Bytes{2, 0, 2, 6}));
  const std::uint32_t start = catalogue::StartAddress(phone.Model().Header(0));
  ASSERT_EQ(Exchange(library_, handle, MemoryCommand(start + 256, 44), 44, reply), kSuccess);
  const auto payload = phone.Model().Payload(0);
  EXPECT_EQ(reply, Bytes(payload.begin() + 256, payload.end()));
  EXPECT_EQ(library_.Close(handle), kSuccess);
}

TEST_F(EmulatorLinkTest, AShortAnswerArrivesShortAndFlushDropsAnUnreadOne) {
  ServedTelephone phone(folder_.Path(), OneFault(phone::FaultRule::Kind::Short, "2:5"));
  ASSERT_TRUE(WaitForCount(library_, 1));
  const DeviceHandle handle = Open();
  Bytes reply;
  ASSERT_EQ(Exchange(library_, handle, {2, 0, 0, 0, 0, 0, 0, 0}, 19, reply), kSuccess);
  EXPECT_EQ(reply.size(), 5u);

  std::uint32_t n = 0;
  const Bytes pin{4, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_EQ(library_.Write(handle, pin.data(), 8, n), kSuccess);
  ASSERT_TRUE(phone.WaitUntilItHas(2, true));  // the PIN's answer is on its way
  ASSERT_EQ(library_.Flush(handle, 0, 0), kSuccess);
  ASSERT_EQ(Exchange(library_, handle, {1, 0, 0, 0, 0, 0, 0, 0}, 2, reply), kSuccess);
  EXPECT_EQ(reply, (Bytes{2, 0}));  // the count, not the PIN left from before
}

TEST_F(EmulatorLinkTest, AStalledReplyFailsWithinTheTimeoutWhileTheCountStillAnswers) {
  ServedTelephone phone(folder_.Path(), OneFault(phone::FaultRule::Kind::Stall, "4:6000"));
  ASSERT_TRUE(WaitForCount(library_, 1));
  library_.SetTimeouts(2000, 2000);
  const DeviceHandle handle = Open();

  const auto started = std::chrono::steady_clock::now();
  auto pending = std::async(std::launch::async, [&] {
    Bytes reply;
    return Exchange(library_, handle, {4, 0, 0, 0, 0, 0, 0, 0}, 4, reply);
  });
  // The watch counts while the read waits.
  ASSERT_TRUE(phone.WaitUntilItHas(1, false));
  std::uint32_t count = 0;
  library_.DeviceCount(count);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(pending.wait_for(0ms), std::future_status::timeout);

  EXPECT_EQ(pending.get(), kTimedOut);
  // Its own time-out ended it, not the reply that was still to come.
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5500ms);
}

TEST_F(EmulatorLinkTest, AReplyLaterThanTheNextCommandCostsThatCommandItsReplyOnly) {
  // Late beyond the read time-out and the quiet wait before the next command.
  ServedTelephone phone(folder_.Path(), OneFault(phone::FaultRule::Kind::Stall, "2@2:1400"));
  ASSERT_TRUE(WaitForCount(library_, 1));
  library_.SetTimeouts(800, 800);
  const DeviceHandle handle = Open();
  Bytes reply;
  ASSERT_EQ(Exchange(library_, handle, {2, 0, 0, 0, 0, 0, 0, 0}, 19, reply), kSuccess);
  EXPECT_EQ(Exchange(library_, handle, {2, 1, 0, 0, 0, 0, 0, 0}, 19, reply), kTimedOut);
  // The late reply arrives while this command is under way: refused.
  EXPECT_NE(Exchange(library_, handle, {2, 0, 0, 0, 0, 0, 0, 0}, 19, reply), kSuccess);
  ASSERT_EQ(Exchange(library_, handle, {2, 1, 0, 0, 0, 0, 0, 0}, 19, reply), kSuccess);
  const auto header = phone.Model().Header(1);
  EXPECT_EQ(reply, Bytes(header.begin(), header.end()));
  // A reply longer than the read asked for is another command's.
  ASSERT_EQ(Exchange(library_, handle, {4, 0, 0, 0, 0, 0, 0, 0}, 2, reply), kFailure);
}

TEST_F(EmulatorLinkTest, ALeftoverSocketOfADeadEmulatorDoesNotCount) {
  {
    ServedTelephone phone(folder_.Path());
    ASSERT_TRUE(WaitForCount(library_, 1));
  }
  std::uint32_t count = 9;
  library_.DeviceCount(count);
  EXPECT_EQ(count, 0u);
  // Files as a killed emulator leaves them, with nobody holding the lock.
  std::ofstream(EmulatorLockPath(folder_.Path(), 1));
  std::ofstream(EmulatorSocketPath(folder_.Path(), 1));
  library_.DeviceCount(count);
  EXPECT_EQ(count, 0u);
  DeviceHandle handle = 0;
  EXPECT_NE(library_.Open(0, handle), kSuccess);
}

TEST_F(EmulatorLinkTest, TwoTelephonesAreNumberedInOrder) {
  ServedTelephone first(folder_.Path());
  ServedTelephone second(folder_.Path());
  ASSERT_TRUE(WaitForCount(library_, 2));
  first.Unplug();
  ASSERT_TRUE(WaitForCount(library_, 1));
  EXPECT_EQ(RunningEmulators(folder_.Path()), std::vector<int>{2});
}

// The program itself: plugged in by starting it, pulled out by killing it.
class EmulatorProgramTest : public EmulatorLinkTest {
 protected:
  std::vector<std::string> Argv(std::vector<std::string> extra) {
    std::vector<std::string> argv{PARLOMAX_PHONE_PROGRAM, "--folder", folder_.Path().string()};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return argv;
  }
  testing::ChildProcess Start(std::vector<std::string> extra) { return testing::ChildProcess(Argv(extra)); }
};

TEST_F(EmulatorProgramTest, KillingTheProgramFailsAPendingReadAndTheCountDrops) {
  auto phone = Start({"--generate", "3", "--stall", "4:20000"});
  ASSERT_TRUE(WaitForCount(library_, 1));
  const DeviceHandle handle = Open();
  auto pending = std::async(std::launch::async, [&] {
    Bytes reply;
    return Exchange(library_, handle, {4, 0, 0, 0, 0, 0, 0, 0}, 4, reply);
  });
  std::this_thread::sleep_for(100ms);
  phone.Signal(SIGKILL);
  phone.Wait();
  EXPECT_EQ(pending.get(), kNoDevice);
  EXPECT_TRUE(WaitForCount(library_, 0));
  std::uint32_t n = 0;
  const Bytes count{1, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_NE(library_.Write(handle, count.data(), 8, n), kSuccess);
}

TEST_F(EmulatorProgramTest, VanishesAfterTheCommandsItWasToldToAnswer) {
  auto phone = Start({"--generate", "2", "--vanish-after", "2"});
  ASSERT_TRUE(WaitForCount(library_, 1));
  const DeviceHandle handle = Open();
  Bytes reply;
  EXPECT_EQ(Exchange(library_, handle, {1, 0, 0, 0, 0, 0, 0, 0}, 2, reply), kSuccess);
  EXPECT_EQ(Exchange(library_, handle, {4, 0, 0, 0, 0, 0, 0, 0}, 4, reply), kSuccess);
  EXPECT_EQ(phone.Wait(), 0);
  EXPECT_NE(Exchange(library_, handle, {1, 0, 0, 0, 0, 0, 0, 0}, 2, reply), kSuccess);
  EXPECT_TRUE(WaitForCount(library_, 0));
}

TEST_F(EmulatorProgramTest, AWavFileComesBackOutOfTheTelephonesMemoryAsEncoded) {
  std::vector<std::int16_t> sound(8000 * 3 + 77);
  for (std::size_t i = 0; i < sound.size(); ++i) {
    sound[i] = static_cast<std::int16_t>(7000 * std::sin(0.05 * i) * std::sin(0.0007 * i));
  }
  testing::TempFolder wavs;
  ASSERT_TRUE(testing::WriteWav(wavs / "in_95588_12312359.wav", sound, 1, 8000));
  auto phone = Start({"--wav-dir", wavs.Path().string(), "--pin", "0000"});
  ASSERT_TRUE(WaitForCount(library_, 1));
  const DeviceHandle handle = Open();

  Bytes header;
  ASSERT_EQ(Exchange(library_, handle, {2, 0, 0, 0, 0, 0, 0, 0}, 19, header), kSuccess);
  catalogue::RecordingHeader h;
  std::copy(header.begin(), header.end(), h.begin());
  const auto fields = catalogue::DecodeRecordingHeader(h);
  EXPECT_EQ(fields.telephoneNumber, "95588");
  EXPECT_EQ(fields.callType, 0u);

  Bytes payload, chunk;
  for (std::uint32_t done = 0; done < fields.payloadLength;) {
    const auto size = static_cast<std::uint16_t>(std::min<std::uint32_t>(256, fields.payloadLength - done));
    ASSERT_EQ(Exchange(library_, handle, MemoryCommand(fields.startAddress + done, size), size, chunk),
              kSuccess);
    payload.insert(payload.end(), chunk.begin(), chunk.end());
    done += size;
  }
  EXPECT_EQ(payload, speex::SpeexEncoder().Encode(sound));
}

// The reply to the `occurrence`-th command with `code` comes after the read
// gave up, but before the next command: the user is still reading the error.
class LateEmulatorReplyTest : public EmulatorProgramTest {
 protected:
  static constexpr unsigned kRecordings = 5;
  static constexpr unsigned kSeed = 3;

  LateEmulatorReplyTest() : expected_({9, 1, 7, 4}, phone::GenerateRecordings(kRecordings, kSeed)) {}

  void Plug(const std::string& lateCommand) {
    phone_ = std::make_unique<testing::ChildProcess>(
        Argv({"--generate", std::to_string(kRecordings), "--seed", std::to_string(kSeed), "--stall",
              lateCommand + ":600"}));
    EXPECT_TRUE(WaitForCount(library_, 1));
    link_.emplace(library_, messages_);
    EXPECT_TRUE(link_->OpenFirstDevice());
    EXPECT_EQ(device::LogIn(*link_, QStringLiteral("9174"), {}), device::LoginOutcome::Accepted);
    library_.SetTimeouts(300, 300);
    messages_.TakeTimeToClose(500ms);
  }
  // The recording that the n-th memory read (from 1) of a copy belongs to.
  std::uint16_t RecordingOfMemoryRead(unsigned n) const {
    for (std::uint16_t i = 0;; ++i) {
      const unsigned chunks = (catalogue::PayloadLength(expected_.Header(i)) + 255) / 256;
      if (n <= chunks) return i;
      n -= chunks;
    }
  }

  const phone::TelephoneModel expected_;
  std::unique_ptr<testing::ChildProcess> phone_;
  testing::RecordingMessageService messages_;
  std::optional<device::DeviceLink> link_;
};

TEST_F(LateEmulatorReplyTest, EveryLaterFileOfACopyIsExact) {
  Plug("3@2");
  testing::TempFolder saved;
  testing::ExpectCopiesExactAfterALateReply(*link_, messages_, expected_, saved.Path(),
                                            RecordingOfMemoryRead(2));
  EXPECT_EQ(messages_.Texts(), (std::vector<QString>{"USB读数据错误", "全部文件上传结束"}));
}

TEST_F(LateEmulatorReplyTest, EveryLaterRowOfTheListShowsItsOwnRecording) {
  Plug("2@2");
  testing::ExpectListRowsTrueAfterALateReply(*link_, expected_, 1);
}

TEST_F(EmulatorProgramTest, RefusesBadInputWithAMessageInsteadOfServing) {
  EXPECT_EQ(Start({"--pin", "12a4"}).Wait(), 1);
  EXPECT_EQ(Start({"--stall", "x"}).Wait(), 1);
  EXPECT_EQ(Start({"--wav-dir", "/nonexistent"}).Wait(), 1);
  std::uint32_t count = 0;
  library_.DeviceCount(count);
  EXPECT_EQ(count, 0u);
}

}  // namespace
}  // namespace parlomax::usb
