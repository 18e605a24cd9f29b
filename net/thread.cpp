// thread.cpp - TIdThread's loop and stopped state.
#include "net/thread.h"

#include "net/exceptions.h"

TIdThread::TIdThread(std::size_t stackSize) : FStackSize(stackSize) {}

TIdThread::~TIdThread() { WaitForEnd(); }

void TIdThread::WaitForEnd() {
  if (FFreeOnTerminate || IsCurrentThread()) return;
  Terminate();
  FNative.Join();
}

void TIdThread::Start() {
  std::lock_guard<std::mutex> lock(FLock);
  if (!(FStopped || FParked) || Terminated()) return;
  FStopped = false;
  if (!FNative.Started()) {
    // Made suspended means the platform thread is made only now.
    if (!FNative.Start(&TIdThread::ThreadEntry, this, FStackSize)) {
      FStopped = true;
      throw EIdException("Thread creation failed");
    }
  } else {
    FParked = false;
    FWake.notify_all();
  }
}

void TIdThread::Stop() {
  std::lock_guard<std::mutex> lock(FLock);
  if (FStopped || FParked || Terminated()) return;
  FTerminated.store(true, std::memory_order_release);  // the default stop mode terminates
  FStopped = true;
}

void TIdThread::Terminate() {
  std::lock_guard<std::mutex> lock(FLock);
  FStopped = true;
  FTerminated.store(true, std::memory_order_release);
  FWake.notify_all();
}

void TIdThread::TerminateAndWait() {
  if (FFreeOnTerminate) throw EIdThreadTerminateAndWaitFor();
  Terminate();
  FNative.Join();
}

bool TIdThread::Stopped() {
  std::lock_guard<std::mutex> lock(FLock);
  return Terminated() || FStopped || FParked;
}

void TIdThread::Park() {
  std::unique_lock<std::mutex> lock(FLock);
  FParked = true;
  FWake.wait(lock, [this] { return !FParked || Terminated(); });
  FParked = false;
}

void TIdThread::ThreadEntry(void* self) {
  auto* thread = static_cast<TIdThread*>(self);
  thread->FThreadId.store(std::this_thread::get_id());
  thread->Execute();
  if (thread->FFreeOnTerminate) {
    {
      std::lock_guard<std::mutex> lock(thread->FLock);
      thread->FNative.Detach();
    }
    delete thread;
  }
}

void TIdThread::RunIteration() {
  // PrepareRun, then RunOnce while running; FinishRun once PrepareRun has
  // returned and ReleaseResources once the iteration has begun, on every path.
  try {
    PrepareRun();
    try {
      while (!Stopped()) RunOnce();
    } catch (...) {
      FinishRun();
      throw;
    }
    FinishRun();
  } catch (...) {
    ReleaseResources();
    throw;
  }
  ReleaseResources();
}

void TIdThread::Execute() {
  try {
    try {
      PrepareExecute();
      while (!Terminated()) {
        if (Stopped()) {
          ReportStopped();
          if (Stopped()) {
            if (Terminated()) break;
            Park();
            if (Terminated()) break;
          }
        }
        RunIteration();
      }
    } catch (...) {
      FinishExecute();
      throw;
    }
    FinishExecute();
  } catch (const EIdException& e) {
    FTerminatingExceptionClass = e.ClassName();
    FTerminatingException = e.what();
    ReportException(FTerminatingExceptionClass, FTerminatingException);
    Terminate();
  } catch (const std::exception& e) {
    FTerminatingExceptionClass = "Exception";
    FTerminatingException = e.what();
    ReportException(FTerminatingExceptionClass, FTerminatingException);
    Terminate();
  } catch (...) {
    FTerminatingExceptionClass = "Exception";
    Terminate();
  }
}
