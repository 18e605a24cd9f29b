// setup_job.h - TSetupJob: the set-up's steps on a thread of their own, so
// that the window stays responsive while PHP is looked up and downloaded. The
// window's thread starts each phase, reads the progress while it runs and
// cancels it; onEnd is called on the job's thread when a phase has ended
// (it may post a message, never touch a window), after which the window's
// thread reads the phase's result.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "getphp/php_setup.h"

class TSetupJob : private TSetupReport {
 public:
  TSetupJob(std::string appDir, std::function<void()> onEnd);
  // Cancels a running phase and waits for its thread (a download's wait for
  // the server is bounded; moving files into php\ is never cut short).
  ~TSetupJob();
  TSetupJob(const TSetupJob&) = delete;
  TSetupJob& operator=(const TSetupJob&) = delete;

  void StartLookUp();
  void StartSetUp();  // after the look-up chose a release
  void Cancel() { FCancel = true; }

  // Any thread: the step under way and the download's bytes (total 0: not known).
  std::string CurrentLine() const;
  std::uint64_t Done() const { return FDone; }
  std::uint64_t Total() const { return FTotal; }

  // The starting thread, once onEnd has been called: the phase's result.
  const TReleaseLookup& Lookup();
  const TSetupOutcome& Outcome();

 private:
  void Start(std::function<void()> phase);
  void Join();
  void Line(const std::string& line) override;
  void Bytes(std::uint64_t done, std::uint64_t total) override;
  bool Cancelled() override { return FCancel; }

  const std::string FAppDir;
  const std::function<void()> FOnEnd;
  std::thread FThread;
  std::atomic<bool> FCancel{false};
  std::atomic<std::uint64_t> FDone{0}, FTotal{0};
  mutable std::mutex FLineLock;
  std::string FLine;  // guarded by FLineLock
  // Written by the job's thread, read after Join.
  TReleaseLookup FLookup;
  TSetupOutcome FOutcome;
};
