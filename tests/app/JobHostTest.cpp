#include "app/JobHost.h"

#include "PumpEvents.h"
#include "ThreadsNamed.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace parlomax::app {
namespace {

using namespace std::chrono_literals;

TEST(CurrentJobTest, OnlyTheCurrentJobsUpdatesLandAndAnEndOnlyWhileNoLaterJobBegan) {
  shell::ThreadChannel channel;
  CurrentJob current(channel);
  std::vector<std::string> landed;
  const auto post = [&](const CurrentJob::Port& port, std::string what) {
    port.Post([&landed, what] { landed.push_back(what); });
  };
  const auto postEnd = [&](const CurrentJob::Port& port, std::string what) {
    port.PostEnd([&landed, what] { landed.push_back(what); });
  };

  const CurrentJob::Port first = current.Begin();
  post(first, "first's progress");
  current.Silence();
  post(first, "first's progress after a stop");
  postEnd(first, "first's end");
  const CurrentJob::Port second = current.Begin();
  post(second, "second's progress");
  post(first, "first's late progress");
  postEnd(first, "first's late end");
  postEnd(second, "second's end");
  channel.RunPending();

  // The silence and the new job were already in place when the changes
  // ran: only what they still allow lands.
  EXPECT_EQ(landed, (std::vector<std::string>{"second's progress", "second's end"}));
}

TEST(CurrentJobTest, ASilencedJobsEndStillLandsUntilTheNextJobBegins) {
  shell::ThreadChannel channel;
  CurrentJob current(channel);
  int progress = 0, ends = 0;
  const CurrentJob::Port job = current.Begin();
  job.Post([&] { ++progress; });
  channel.RunPending();
  current.Silence();
  job.Post([&] { ++progress; });
  job.PostEnd([&] { ++ends; });
  channel.RunPending();
  EXPECT_EQ(progress, 1);
  EXPECT_EQ(ends, 1);
}

TEST(CurrentJobTest, AnAbandonedJobsUpdatesAndEndNeverLandButTheNextJobsDo) {
  shell::ThreadChannel channel;
  CurrentJob current(channel);
  std::vector<std::string> landed;
  const CurrentJob::Port gone = current.Begin();
  // Progress already on its way when the job is given up, its end after.
  gone.Post([&] { landed.push_back("gone's progress"); });
  current.Abandon();
  gone.PostEnd([&] { landed.push_back("gone's end"); });
  channel.RunPending();
  EXPECT_TRUE(landed.empty());
  const CurrentJob::Port next = current.Begin();
  next.Post([&] { landed.push_back("next's progress"); });
  next.PostEnd([&] { landed.push_back("next's end"); });
  channel.RunPending();
  EXPECT_EQ(landed, (std::vector<std::string>{"next's progress", "next's end"}));
}

// A job that runs until it is asked to stop, and says when it has gone.
class WaitingJob final : public JobHost::Job {
 public:
  WaitingJob(std::atomic<int>& niceness, std::atomic<bool>& destroyed)
      : niceness_(niceness), destroyed_(destroyed) {}
  ~WaitingJob() override { destroyed_ = true; }
  void Run(std::stop_token stop) override {
    niceness_ = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    while (!stop.stop_requested()) std::this_thread::sleep_for(2ms);
  }

 private:
  std::atomic<int>& niceness_;
  std::atomic<bool>& destroyed_;
};

TEST(JobHostTest, AJobRunsOnANamedThreadStopsWhenAskedAndIsForgottenOnceItsThreadEnded) {
  shell::ThreadChannel channel;
  JobHost host(channel, "host-test-jobs");
  std::atomic<int> niceness{-100};
  std::atomic<bool> destroyed{false};
  const auto job = host.Start(JobHost::Priority::Lowest, [&](JobHost::Port) {
    return std::make_unique<WaitingJob>(niceness, destroyed);
  });
  EXPECT_EQ(testing::ThreadsNamed("host-test-jobs"), 1u);
  ASSERT_TRUE(testing::PumpUntil([&] { return niceness != -100; }));
  EXPECT_EQ(niceness, 19);

  host.Stop(job, 5s);
  // Stopped within its grace, but the job's parts go only on the window's
  // thread, once that has heard the thread end.
  EXPECT_TRUE(testing::PumpUntilThreadsNamed("host-test-jobs", 0));
  EXPECT_TRUE(destroyed);
}

TEST(JobHostTest, AJobsEndLandsBeforeItIsForgottenAndALaterJobsProgressIsNotTouched) {
  shell::ThreadChannel channel;
  JobHost host(channel, "host-test-ends");
  std::vector<std::string> landed;
  class ReportingJob final : public JobHost::Job {
   public:
    ReportingJob(JobHost::Port port, std::vector<std::string>& landed) : port_(port), landed_(landed) {}
    void Run(std::stop_token) override {
      port_.Post([&landed = landed_] { landed.push_back("progress"); });
      port_.PostEnd([&landed = landed_] { landed.push_back("end"); });
    }

   private:
    JobHost::Port port_;
    std::vector<std::string>& landed_;
  };
  host.Start(JobHost::Priority::Normal,
             [&](JobHost::Port port) { return std::make_unique<ReportingJob>(port, landed); });
  ASSERT_TRUE(testing::PumpUntilThreadsNamed("host-test-ends", 0));
  EXPECT_EQ(landed, (std::vector<std::string>{"progress", "end"}));
}

TEST(JobHostTest, GoingAwayWaitsForEveryJobHoweverLongItTakes) {
  shell::ThreadChannel channel;
  std::atomic<int> niceness{0};
  std::atomic<bool> destroyed{false};
  {
    JobHost host(channel, "host-test-exit");
    host.Start(JobHost::Priority::Normal,
               [&](JobHost::Port) { return std::make_unique<WaitingJob>(niceness, destroyed); });
  }
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(testing::ThreadsNamed("host-test-exit"), 0u);
}

}  // namespace
}  // namespace parlomax::app
