// firewall.h - the program's entry among the firewall's authorized programs.
// Main thread only (COM initialised on it).
#pragma once
#include <string>

// Adds the program at imagePath under name, for every network and IP version,
// enabled; raises on any failure (the caller absorbs it). A no-op on Linux.
void AddFirewallException(const std::string& name, const std::string& imagePath);
