// A time-critical thread gets what the system allows, and says which.
#include "platform/realtime/RealtimeThread.h"

#include <gtest/gtest.h>

#include <thread>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

namespace parlomax::realtime {
namespace {

struct Seen {
  Scheduling scheduling = Scheduling::Niced;
  int policy = -1;
  int nice = 0;
};

// What a fresh thread gets, and how the system then runs it.
Seen OnAThreadOfItsOwn() {
  Seen seen;
  std::thread([&seen] {
    seen.scheduling = MakeThisThreadTimeCritical();
    sched_param parameter{};
    ::pthread_getschedparam(::pthread_self(), &seen.policy, &parameter);
    seen.policy &= ~SCHED_RESET_ON_FORK;
    seen.nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
  }).join();
  return seen;
}

TEST(RealtimeThread, WhatItSaysItGotIsHowTheThreadRuns) {
  rlimit before{};
  ASSERT_EQ(::getrlimit(RLIMIT_RTTIME, &before), 0);
  const Seen seen = OnAThreadOfItsOwn();
  if (seen.scheduling == Scheduling::Realtime || seen.scheduling == Scheduling::Granted) {
    EXPECT_EQ(seen.policy, SCHED_RR);
  } else {
    EXPECT_EQ(seen.policy, SCHED_OTHER);
  }
  // The thread that asked is the only one changed.
  int policy = -1;
  sched_param parameter{};
  ::pthread_getschedparam(::pthread_self(), &policy, &parameter);
  EXPECT_EQ(policy, SCHED_OTHER);
  // The kit grants only to a process with a limit on what a real-time thread
  // may use without waiting; one that got real time on its own keeps the
  // limit it had, which its children inherit.
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_RTTIME, &limit), 0);
  if (seen.scheduling == Scheduling::Granted) {
    EXPECT_NE(limit.rlim_max, RLIM_INFINITY);
    EXPECT_LE(limit.rlim_cur, 200000u);
  } else {
    EXPECT_EQ(limit.rlim_cur, before.rlim_cur);
    EXPECT_EQ(limit.rlim_max, before.rlim_max);
  }
}

TEST(RealtimeThread, WithChangesRefusedTheThreadRunsAsAnyOther) {
  AllowPriorityChanges(false);
  const Seen seen = OnAThreadOfItsOwn();
  AllowPriorityChanges(true);
  EXPECT_EQ(seen.scheduling, Scheduling::Niced);
  EXPECT_EQ(seen.policy, SCHED_OTHER);
  EXPECT_EQ(seen.nice, ::getpriority(PRIO_PROCESS, 0));
}

}  // namespace
}  // namespace parlomax::realtime
