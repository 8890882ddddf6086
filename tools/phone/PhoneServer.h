#pragma once

#include "phone/FaultPlan.h"
#include "phone/TelephoneModel.h"

#include <atomic>
#include <filesystem>
#include <memory>

namespace parlomax::phone {

// Serves a telephone model to the device library's emulator backend on a
// socket in the emulators' folder. While an object exists and holds its lock,
// the telephone counts as plugged in; destroying it pulls the cable.
class PhoneServer {
 public:
  // Takes the lowest free telephone number in `folder` (made private to the
  // user if it does not exist) and starts listening. Throws
  // std::runtime_error with a message for the user when it cannot.
  PhoneServer(std::shared_ptr<TelephoneModel> model, FaultPlan faults,
              const std::filesystem::path& folder);
  ~PhoneServer();

  PhoneServer(const PhoneServer&) = delete;
  PhoneServer& operator=(const PhoneServer&) = delete;

  int Number() const { return number_; }
  std::filesystem::path SocketPath() const;

  enum class End { Stopped, Vanished };
  // Serves one program at a time, as a telephone whose interface one
  // program has claimed: any other is told the telephone is busy and turned
  // away until the holder closes its connection or ends (a holder that
  // crashed lets go with its sockets). Runs until Stop() or the fault plan's
  // vanishing point.
  End Serve();
  // Ends Serve() from any thread, or from a signal handler.
  void Stop();
  // Commands received and answered (or ignored) so far: what a test waits
  // for instead of a time.
  unsigned Received() const { return received_; }
  unsigned Answered() const { return answered_; }

 private:
  enum class Step { Continue, Idle, HostGone, Stopped, Vanished };
  // Waits `ms` while turning newcomers away; Continue, or why it stopped.
  Step Delay(int connection, std::uint32_t ms);
  Step Answer(int connection);       // Idle when no command was waiting
  Step AnswerBurst(int connection);  // answers until the host pauses
  // Gives the telephone to a newcomer if nobody holds it; turns the others away.
  void Admit();
  // Turns every waiting newcomer away; false when the host itself has gone.
  bool TurnAwayNewcomers(int connection);

  std::shared_ptr<TelephoneModel> model_;
  FaultPlan faults_;
  std::filesystem::path folder_;
  int number_ = 0;
  int lockFd_ = -1;
  int listenFd_ = -1;
  int stopFd_ = -1;
  int connectionFd_ = -1;  // the connection of the program that holds the telephone
  // Also set from a signal handler; lock-free, so that is safe.
  std::atomic<bool> stopRequested_{false};
  std::atomic<unsigned> received_{0};
  std::atomic<unsigned> answered_{0};
};

// Makes `folder` if needed and checks that nobody else can write into it.
void EnsurePrivateFolder(const std::filesystem::path& folder);

}  // namespace parlomax::phone
