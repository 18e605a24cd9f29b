// setup_job.cpp - TSetupJob: each phase on a new thread, caught at its entry.
#include "getphp/setup_job.h"

#include <exception>
#include <utility>

TSetupJob::TSetupJob(std::string appDir, std::function<void()> onEnd)
    : FAppDir(std::move(appDir)), FOnEnd(std::move(onEnd)) {}

TSetupJob::~TSetupJob() {
  Cancel();
  Join();
}

void TSetupJob::StartLookUp() {
  Start([this] { FLookup = LookUpRelease(*this); });
}

void TSetupJob::StartSetUp() {
  Start([this] { FOutcome = SetUpRelease(FLookup, FAppDir, *this); });
}

void TSetupJob::Start(std::function<void()> phase) {
  Join();
  FDone = 0;
  FTotal = 0;
  FThread = std::thread([this, phase = std::move(phase)] {
    try {
      phase();
    } catch (const std::exception& e) {
      FLookup.Error = FOutcome.Message = std::string("PHP was not set up: ") + e.what();
      FOutcome.Result = TSetupResult::Failed;
    } catch (...) {
      FLookup.Error = FOutcome.Message = "PHP was not set up.";
      FOutcome.Result = TSetupResult::Failed;
    }
    FOnEnd();
  });
}

void TSetupJob::Join() {
  if (FThread.joinable()) FThread.join();
}

const TReleaseLookup& TSetupJob::Lookup() {
  Join();
  return FLookup;
}

const TSetupOutcome& TSetupJob::Outcome() {
  Join();
  return FOutcome;
}

std::string TSetupJob::CurrentLine() const {
  std::lock_guard<std::mutex> lock(FLineLock);
  return FLine;
}

void TSetupJob::Line(const std::string& line) {
  std::lock_guard<std::mutex> lock(FLineLock);
  FLine = line;
}

void TSetupJob::Bytes(std::uint64_t done, std::uint64_t total) {
  FDone = done;
  FTotal = total;
}
