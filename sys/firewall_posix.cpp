// firewall_posix.cpp - no firewall entry on Linux: the step is a silent no-op.
#include "http/ostrel.h"

void TOstrel::AddFirewallException(const std::string&, const std::string&) {}
