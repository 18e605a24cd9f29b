// TIdThread's skeleton of steps and TIdThreadMgrDefault's hand-out and take-back.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "net/exceptions.h"
#include "net/thread.h"
#include "net/thread_mgr.h"
#include "support/server_harness.h"

namespace {

// What a test thread did, kept outside it: a self-destroying one is gone when
// the test looks.
struct TSteps : TShared {
  int PrepareRun = 0, RunOnce = 0, FinishRun = 0, ReleaseResources = 0, FinishExecute = 0;
  std::string Reported;
  // Counted: threads that share one TSteps must not stand in for each other.
  int Destroyed = 0;
};

class TStepThread : public TIdThread {
 public:
  explicit TStepThread(TSteps& steps, int throwAt = 0) : FSteps(steps), FThrowAt(throwAt) {}
  ~TStepThread() override {
    WaitForEnd();
    FSteps.Update([&] { ++FSteps.Destroyed; });
  }

  TIdThreadMgr* ReturnTo = nullptr;  // given back to this manager when released

 protected:
  void PrepareRun() override { FSteps.Update([&] { ++FSteps.PrepareRun; }); }
  void RunOnce() override {
    int n = 0;
    FSteps.Update([&] { n = ++FSteps.RunOnce; });
    if (n == FThrowAt) throw EIdException("run step failed");
    SleepMs(2);
  }
  void FinishRun() override { FSteps.Update([&] { ++FSteps.FinishRun; }); }
  void ReleaseResources() override {
    FSteps.Update([&] { ++FSteps.ReleaseResources; });
    if (ReturnTo != nullptr && IsCurrentThread()) ReturnTo->ReturnThread(this);
  }
  void FinishExecute() override { FSteps.Update([&] { ++FSteps.FinishExecute; }); }
  void ReportException(const std::string& className, const std::string& message) override {
    FSteps.Update([&] { FSteps.Reported = className + ": " + message; });
  }

 private:
  TSteps& FSteps;
  int FThrowAt;
};

TEST(Thread, MadeAndDestroyedWithoutStartNeverRuns) {
  TSteps steps;
  {
    TStepThread thread(steps);
    EXPECT_TRUE(thread.Stopped());
    EXPECT_FALSE(thread.Terminated());
  }
  EXPECT_EQ(1, steps.Destroyed);
  EXPECT_EQ(0, steps.PrepareRun);
  EXPECT_EQ(0, steps.RunOnce);
}

TEST(Thread, StopEndsTheRunAndTheFinishingStepsRunOnce) {
  TSteps steps;
  TStepThread thread(steps);
  thread.Start();
  ASSERT_TRUE(steps.WaitFor([&] { return steps.RunOnce >= 3; }));
  EXPECT_FALSE(thread.Stopped());
  thread.Stop();
  EXPECT_TRUE(thread.Stopped());
  EXPECT_TRUE(thread.Terminated()) << "the default stop mode terminates";
  ASSERT_TRUE(steps.WaitFor([&] { return steps.FinishExecute == 1; }));
  thread.TerminateAndWait();
  EXPECT_EQ(1, steps.PrepareRun);
  EXPECT_EQ(1, steps.FinishRun);
  EXPECT_EQ(1, steps.ReleaseResources);
  EXPECT_EQ("", thread.TerminatingException());
}

TEST(Thread, ExceptionInRunOnceStillFinishesAndReleasesAndIsRecorded) {
  TSteps steps;
  TStepThread thread(steps, 2);
  thread.Start();
  ASSERT_TRUE(steps.WaitFor([&] { return steps.FinishExecute == 1; }));
  thread.TerminateAndWait();
  EXPECT_EQ(2, steps.RunOnce) << "the run went on after the exception";
  EXPECT_EQ(1, steps.FinishRun);
  EXPECT_EQ(1, steps.ReleaseResources);
  EXPECT_EQ("EIdException", thread.TerminatingExceptionClass());
  EXPECT_EQ("run step failed", thread.TerminatingException());
  EXPECT_EQ("EIdException: run step failed", steps.Reported);
  EXPECT_TRUE(thread.Terminated());
}

TEST(Thread, TerminateAndWaitRefusesASelfDestroyingThread) {
  TSteps steps;
  TStepThread thread(steps);
  thread.FreeOnTerminate();
  try {
    thread.TerminateAndWait();
    FAIL() << "no exception";
  } catch (const EIdThreadTerminateAndWaitFor& e) {
    EXPECT_STREQ("Cannot call TerminateAndWaitFor on FreeAndTerminate threads", e.what());
  }
}

TEST(ThreadMgr, MakingAThreadWithoutAClassRaises) {
  TIdThreadMgrDefault mgr;
  try {
    mgr.AcquireThread();
    FAIL() << "no exception";
  } catch (const EIdThreadClassNotSpecified& e) {
    EXPECT_STREQ("Thread Class Not Specified.", e.what());
  }
  EXPECT_EQ(0u, mgr.ManagedCount());
}

TEST(ThreadMgr, ThreadReturnedOnItselfEndsAndIsDestroyedWithoutAWaiter) {
  TSteps steps;
  TIdThreadMgrDefault mgr;
  mgr.ThreadClassFactory = [&](std::size_t) { return new TStepThread(steps); };
  auto* thread = static_cast<TStepThread*>(mgr.AcquireThread());
  TIdThread* second = mgr.AcquireThread();
  EXPECT_NE(thread, second) << "threads are never reused";
  mgr.ReturnThread(second);  // from here: never started, destroyed at once
  EXPECT_EQ(1, steps.Read([&] { return steps.Destroyed; }));
  EXPECT_EQ(1u, mgr.ManagedCount());
  thread->ReturnTo = &mgr;
  thread->Start();
  ASSERT_TRUE(steps.WaitFor([&] { return steps.RunOnce >= 1; }));
  thread->Stop();
  // Its destructor's update is the last thing it does with steps: once seen,
  // steps may go.
  ASSERT_TRUE(steps.WaitFor([&] { return steps.Destroyed == 2 && steps.FinishExecute == 1; }));
  EXPECT_EQ(0u, mgr.ManagedCount());
  EXPECT_EQ(1, steps.ReleaseResources);
}

TEST(ThreadMgr, ThreadReturnedFromAnotherThreadIsEndedWaitedForAndDestroyed) {
  TSteps steps;
  TIdThreadMgrDefault mgr;
  mgr.ThreadClassFactory = [&](std::size_t) { return new TStepThread(steps); };
  TIdThread* thread = mgr.AcquireThread();
  thread->Start();
  ASSERT_TRUE(steps.WaitFor([&] { return steps.RunOnce >= 1; }));
  mgr.ReturnThread(thread);
  EXPECT_EQ(1, steps.Read([&] { return steps.Destroyed; }));
  EXPECT_EQ(1, steps.Read([&] { return steps.FinishExecute; }));
  EXPECT_EQ(0u, mgr.ManagedCount());
}

}  // namespace
