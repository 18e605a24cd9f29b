// firewall_posix.cpp - no firewall entry on Linux: the step is a silent no-op.
#include "sys/firewall.h"

void AddFirewallException(const std::string&, const std::string&) {}
