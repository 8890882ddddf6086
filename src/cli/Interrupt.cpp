#include "cli/Interrupt.h"

#include "cli/ExitStatus.h"
#include "platform/files/KeptFile.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <map>
#include <mutex>
#include <thread>

#include <semaphore.h>
#include <unistd.h>

namespace parlomax::cli {
namespace {

// What a stopped command needs to finish its chunk and put its file in
// place; only a wait that does not end by itself outlasts it.
constexpr auto kGrace = std::chrono::milliseconds(1500);

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);
sem_t wakeUp;

// Never destroyed: the watch may run them while the program is on its way out.
std::mutex cleanupMutex;
std::map<unsigned, std::function<void()>>& Cleanups() {
  static auto* cleanups = new std::map<unsigned, std::function<void()>>;
  return *cleanups;
}
unsigned nextCleanup = 0;

// Only what is safe in a signal handler: a flag and a semaphore.
void Note(int) {
  interrupted = true;
  ::sem_post(&wakeUp);
}

void Watch() {
  while (::sem_wait(&wakeUp) != 0) {
  }
  std::this_thread::sleep_for(kGrace);
  {
    std::lock_guard lock(cleanupMutex);
    for (auto& [id, cleanup] : Cleanups()) cleanup();
  }
  files::RemoveUnfinishedFiles();
  static constexpr char kSaid[] = "parlomax-cli: 已中断\n";
  [[maybe_unused]] const auto written = ::write(STDERR_FILENO, kSaid, sizeof kSaid - 1);
  ::_exit(kInterrupted);
}

}  // namespace

void CatchInterrupts() {
  ::sem_init(&wakeUp, 0, 0);
  // The watch takes none of the signals, so that one reaches a thread that
  // may be waiting on the terminal and should wake up.
  sigset_t signals, before;
  sigemptyset(&signals);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
  ::pthread_sigmask(SIG_BLOCK, &signals, &before);
  std::thread(Watch).detach();
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);

  struct sigaction action {};
  action.sa_handler = &Note;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a read from the terminal (the PIN) returns at once.
  action.sa_flags = 0;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool Interrupted() { return interrupted; }

OnForcedExit::OnForcedExit(std::function<void()> cleanup) {
  std::lock_guard lock(cleanupMutex);
  id_ = nextCleanup++;
  Cleanups().emplace(id_, std::move(cleanup));
}

OnForcedExit::~OnForcedExit() {
  std::lock_guard lock(cleanupMutex);
  Cleanups().erase(id_);
}

}  // namespace parlomax::cli
