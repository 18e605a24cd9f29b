// firewall.h - the program's entry among the firewall's authorized programs,
// and what the firewall makes of visitors to it now. Main thread only (COM
// initialised on it).
#pragma once
#include <string>
#include <vector>

// Adds the program at imagePath under name, for every network and IP version,
// enabled; raises on any failure (the caller absorbs it). A no-op on Linux.
void AddFirewallException(const std::string& name, const std::string& imagePath);

// What the firewall does with a visitor's connection to the program, on the
// networks the machine is on now; the worst of them when there are several.
enum class TFirewallState {
  NotManaged,  // Linux: the program enters nothing in any firewall
  Unknown,     // the firewall could not be read
  Off,         // the firewall is off on the current networks
  Allowed,     // an enabled rule of the program's lets it take connections
  Blocked,     // a rule of the program's blocks it, or every incoming connection is blocked
  Inactive,    // the program's rules are there, but none is enabled for the current networks
  Missing,     // the program has no rule: the firewall turns visitors away
};

// Reads the firewall's state for the program at imagePath; never raises.
TFirewallState ReadFirewallState(const std::string& imagePath);

// Stable words for files: "none", "unknown", "off", "allowed", "blocked", "inactive",
// "missing".
const char* FirewallStateKey(TFirewallState state);

// The firewall's settings for one network profile (domain, private or public).
struct TFirewallProfile {
  long Type = 0;  // 1 domain, 2 private, 4 public
  bool Enabled = true;
  bool BlockAllInbound = false;  // "block all incoming connections, even of allowed programs"
};

// An inbound rule of the program's.
struct TFirewallRule {
  bool Enabled = false;
  bool Allow = false;  // else it blocks
  long Profiles = 0;   // the profile bits it applies to
  long Protocol = 256;  // 6 TCP, 17 UDP, 256 any
};

// The verdict over the current profiles (a block rule wins over an allow
// rule, as in the firewall itself); Unknown when no profile is current.
TFirewallState FirewallVerdict(const std::vector<TFirewallProfile>& current, const std::vector<TFirewallRule>& rules);
