// one_copy_lock_posix.h - TOneCopyLock: the single-copy rule on Linux, an
// exclusive flock on a file named after the mutex in $XDG_RUNTIME_DIR or /tmp,
// held until the process ends. The copy that holds it writes into the file
// where it serves, so that a second copy can tell the user. Main thread only.
#pragma once
#include <string>

#include "base/scoped_fd_posix.h"

class TOneCopyLock {
 public:
  TOneCopyLock();
  bool Owned() const { return FOwned; }

  // The holder's record: the address it serves at ("" when it does not serve)
  // and its application directory.
  void Publish(const std::string& address, const std::string& appDir);
  // For a copy that does not hold the lock: prints to standard error that a copy
  // is already running and, once the holder has published (waited for a few
  // seconds at most), where it serves.
  void ReportHolder() const;

 private:
  std::string FPath;
  TScopedFd FFile;
  int FOpenError = 0;  // errno of the open that failed
  bool FOwned = false;
};
