// switches.h - the Linux program's switches on one command line: each one
// that starts with "--" ends the directories of the one before it, so
// "--share ~/Music --shares" shares, then lists. Main thread only.
#pragma once
#include <string>
#include <vector>

struct TSwitch {
  std::string Name;               // "--share", "--unshare", "--shares" or "--access"
  std::vector<std::string> Args;  // what follows it up to the next "--" argument
};

// The command line cut at every argument that starts with "--".
std::vector<TSwitch> SplitSwitches(const std::vector<std::string>& args);

// Why the switches cannot run, or "" when they can: an unknown switch, a list
// switch without a directory, an argument for --shares, a mode for --access
// other than open, code or approve. Nothing runs when one is wrong.
std::string CheckSwitches(const std::vector<TSwitch>& switches);

// Whether the program ends once they have run (one of them prints: "--shares",
// "--access" alone) instead of serving.
bool SwitchesEnd(const std::vector<TSwitch>& switches);

// Runs them in order, stopping at the first that fails (false: exit code 1);
// serve tells whether the server is to start afterwards. Linux only.
bool RunSwitches(const std::vector<std::string>& args, bool& serve);
