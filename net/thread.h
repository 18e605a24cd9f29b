// thread.h - TIdThread: a platform thread with a fixed skeleton of steps
// (prepare, run repeatedly, finish, release) and an outer handler that keeps
// every exception inside the thread.
//
// Start, Stop, Terminate, TerminateAndWait and Stopped may be called from any
// thread; the stopped state is guarded by the thread's own lock.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

#include "net/native_thread.h"

class TIdThread {
 public:
  // Threads of this layer are always made suspended: nothing runs until Start.
  explicit TIdThread(std::size_t stackSize = 0);
  // From another thread: ends the thread and waits for it. A derived class that
  // runs steps on the thread must call WaitForEnd() in its own destructor.
  virtual ~TIdThread();
  TIdThread(const TIdThread&) = delete;
  TIdThread& operator=(const TIdThread&) = delete;

  void Start();
  void Stop();
  void Terminate();
  void TerminateAndWait();  // raises EIdThreadTerminateAndWaitFor on a self-destroying thread
  bool Stopped();
  bool Terminated() const { return FTerminated.load(std::memory_order_acquire); }
  bool IsCurrentThread() const { return std::this_thread::get_id() == FThreadId.load(); }

  // Called on the thread itself: its object is deleted when it ends.
  void FreeOnTerminate() { FFreeOnTerminate = true; }

  const std::string& TerminatingExceptionClass() const { return FTerminatingExceptionClass; }
  const std::string& TerminatingException() const { return FTerminatingException; }

 protected:
  virtual void PrepareExecute() {}
  virtual void PrepareRun() {}
  virtual void RunOnce() = 0;
  virtual void FinishRun() {}
  virtual void ReleaseResources() {}
  virtual void FinishExecute() {}
  virtual void ReportException(const std::string& /*className*/, const std::string& /*message*/) {}
  virtual void ReportStopped() {}

  void WaitForEnd();

 private:
  static void ThreadEntry(void* self);
  void Execute();
  void RunIteration();
  void Park();

  std::mutex FLock;
  std::condition_variable FWake;
  bool FStopped = true;  // guarded by FLock
  bool FParked = false;  // guarded by FLock
  std::atomic<bool> FTerminated{false};
  std::atomic<std::thread::id> FThreadId{};
  bool FFreeOnTerminate = false;  // set on the thread itself only
  std::size_t FStackSize;
  TNativeThread FNative;  // guarded by FLock until started
  std::string FTerminatingExceptionClass;
  std::string FTerminatingException;
};
