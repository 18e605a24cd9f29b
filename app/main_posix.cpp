// main_posix.cpp - the program's entry on Linux: the service commands (a
// systemd unit) or the headless server, one copy at a time. Exit code 0 always.
#include <fcntl.h>
#include <sys/file.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/headless.h"
#include "app/open_files.h"
#include "app/run_mode.h"
#include "base/scoped_fd_posix.h"
#include "config/kelv.h"
#include "http/ostrel.h"

namespace {

// The single-copy rule: an exclusive flock on a file named after the mutex in
// $XDG_RUNTIME_DIR or /tmp, held until the process ends.
class TOneCopyLock {
 public:
  TOneCopyLock() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string dir = runtime != nullptr && *runtime != 0 ? runtime : "/tmp";
    std::string path = dir + "/" + kOneCopyMutexName;
    // No symlinks: /tmp is shared, and the lock must not open someone else's file.
    FFile.Reset(::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
    FOwned = FFile.Valid() && ::flock(FFile.Get(), LOCK_EX | LOCK_NB) == 0;
  }
  bool Owned() const { return FOwned; }

 private:
  TScopedFd FFile;
  bool FOwned = false;
};

// Without a display the interactive run is the headless server.
void RunInteractive() {
  TOneCopyLock lock;
  if (!lock.Owned()) return;
  RunHeadless(TKelv::GetStartMode() == 0);
}

}  // namespace

// systemd starts the program with "-auto" directly, so there is no service
// process mode here.
int main(int argc, char** argv) {
  RaiseOpenFilesLimit();
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    TRunMode mode = SelectRunMode(false, args);
    if (mode == TRunMode::Interactive)
      RunInteractive();
    else
      RunServiceCommand(mode, TOstrel::GetExePath());
  } catch (...) {
    // Nothing in the entry reports a failure.
  }
  return 0;
}
