// switches_posix.cpp - running the Linux program's switches.
#include <cstdio>

#include "app/access_command.h"
#include "app/share_command.h"
#include "app/switches.h"

bool RunSwitches(const std::vector<std::string>& args, bool& serve) {
  const std::vector<TSwitch> switches = SplitSwitches(args);
  if (const std::string error = CheckSwitches(switches); !error.empty()) {
    std::fprintf(stderr, "ostrel: %s\n", error.c_str());
    return false;
  }
  for (const TSwitch& s : switches) {
    const bool done = s.Name == "--share"     ? ChangeSharedDirs(true, s.Args)
                      : s.Name == "--unshare" ? ChangeSharedDirs(false, s.Args)
                      : s.Name == "--shares"  ? PrintSharedDirs()
                      : s.Args.empty()        ? PrintSiteAccess()
                                              : SetSiteMode(s.Args.front());
    if (!done) return false;
  }
  serve = !SwitchesEnd(switches);
  return true;
}
