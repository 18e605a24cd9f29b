// main_posix.cpp - the program's entry on Linux: the service commands (a
// systemd unit), the shared-directory list switches, or the headless server,
// one copy at a time. Exit code 0 but for a refused list switch.
#include <string>
#include <vector>

#include "app/headless.h"
#include "app/one_copy_lock_posix.h"
#include "app/open_files.h"
#include "app/run_mode.h"
#include "app/switches.h"
#include "base/program_env.h"
#include "config/kelv.h"

namespace {

// Without a display the interactive run is the headless server.
void RunInteractive() {
  TOneCopyLock lock;
  if (!lock.Owned()) {
    lock.ReportHolder();
    return;
  }
  RunHeadless(TKelv::GetStartMode() == 0,
              [&lock](const std::string& address) { lock.Publish(address, GetAppDir()); });
}

}  // namespace

// systemd starts the program with "-auto" directly, so there is no service
// process mode here. A switch that is refused ends with 1 and serves nothing:
// the user is told why and tries again.
int main(int argc, char** argv) {
  RaiseOpenFilesLimit();
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    TRunMode mode = SelectLinuxRunMode(args);
    if (mode == TRunMode::ListShares || mode == TRunMode::ShareDirs || mode == TRunMode::UnshareDirs ||
        mode == TRunMode::Access) {
      bool serve = false;
      if (!RunSwitches(args, serve)) return 1;
      if (!serve) return 0;
      mode = TRunMode::Interactive;
    }
    if (mode == TRunMode::Interactive)
      RunInteractive();
    else
      RunServiceCommand(mode, GetExePath());
  } catch (...) {
    // Nothing in the entry reports a failure.
  }
  return 0;
}
