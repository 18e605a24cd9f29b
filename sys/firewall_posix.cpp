// firewall_posix.cpp - no firewall entry on Linux: the step is a silent no-op.
#include "sys/ostrel_system.h"

void TOstrelSystem::AddFirewallException(const std::string&, const std::string&) {}
