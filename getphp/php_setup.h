// php_setup.h - PHP for Windows in one step: the release list read, the build
// chosen, its zip downloaded and checked against the list's SHA-256, unpacked
// beside php\ and moved into it, and the interpreter check run again. The
// window's offer and -GETPHP both use it; the steps run on the calling thread,
// and nothing in php\ changes unless every step before the move has worked.
#pragma once
#include <cstdint>
#include <string>

#include "getphp/release_list.h"

// What the steps tell as they go, on the thread that runs them.
class TSetupReport {
 public:
  virtual ~TSetupReport() = default;
  virtual void Line(const std::string& line) = 0;                   // a step begins
  virtual void Bytes(std::uint64_t done, std::uint64_t total) = 0;  // total 0: not known
  // Asked between steps and while downloading; once the files move into the
  // php folder the set-up no longer stops.
  virtual bool Cancelled() = 0;
};

struct TReleaseLookup {
  std::string ListUrl;
  TPhpRelease Release;
  std::string Error;  // "" when Release was chosen; otherwise a sentence for the user
  bool Cancelled = false;
};

// Reads the list at OSTREL_PHP_RELEASES, or else at kDefaultReleaseList, and
// chooses the build.
TReleaseLookup LookUpRelease(TSetupReport& report);

enum class TSetupResult {
  Ready,           // php\ holds the release and it passed the check
  RuntimeMissing,  // set up, but it cannot start without the Visual C++ runtime
  NotUsable,       // set up, but it did not pass the check
  Failed,          // nothing in php\ changed
  Cancelled,       // nothing in php\ changed
};

struct TSetupOutcome {
  TSetupResult Result = TSetupResult::Failed;
  std::string Message;  // the closing sentence for the user: "PHP 8.5.2 is ready", or why not
};

// Downloads the release that lookup chose and sets it up in appDir's php folder.
TSetupOutcome SetUpRelease(const TReleaseLookup& lookup, const std::string& appDir, TSetupReport& report);
