// firewall_posix.cpp - no firewall entry on Linux: the step is a silent no-op,
// and the program has no entry to report on.
#include "sys/firewall.h"

void AddFirewallException(const std::string&, const std::string&) {}

TFirewallState ReadFirewallState(const std::string&) { return TFirewallState::NotManaged; }
