// switches.cpp - cutting and checking the Linux program's switches.
#include "app/switches.h"

#include <algorithm>

std::vector<TSwitch> SplitSwitches(const std::vector<std::string>& args) {
  std::vector<TSwitch> switches;
  for (const std::string& arg : args) {
    if (arg.starts_with("--") || switches.empty())
      switches.push_back({arg, {}});
    else
      switches.back().Args.push_back(arg);
  }
  return switches;
}

std::string CheckSwitches(const std::vector<TSwitch>& switches) {
  for (const TSwitch& s : switches) {
    if (s.Name == "--share" || s.Name == "--unshare") {
      if (s.Args.empty()) return s.Name + " needs at least one directory";
    } else if (s.Name == "--shares") {
      if (!s.Args.empty()) return "--shares takes no directory (\"" + s.Args.front() + "\")";
    } else if (s.Name == "--access") {
      const bool mode = s.Args.size() == 1 && (s.Args[0] == "open" || s.Args[0] == "code" || s.Args[0] == "approve");
      if (!s.Args.empty() && !mode) return "--access takes one of open, code or approve, or nothing to print the mode";
    } else {
      return "unknown switch \"" + s.Name + "\" (the switches: --share, --unshare, --shares, --access)";
    }
  }
  return "";
}

bool SwitchesEnd(const std::vector<TSwitch>& switches) {
  return std::ranges::any_of(switches, [](const TSwitch& s) {
    return s.Name == "--shares" || (s.Name == "--access" && s.Args.empty());
  });
}
