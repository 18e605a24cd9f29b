// local_ip.h - the machine's address that the window and the pages give out.
// Any thread may ask.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Windows: the first IPv4 address of the host name's lookup, dotted; raises
// EIdSocketError when the lookup fails. Linux: ChooseLocalIP over the lookup's
// addresses and the interfaces' own.
std::string GetLocalIP();

// The Linux rule, over addresses in network byte order: Debian maps the host
// name to 127.0.1.1, so loopback addresses are passed over for one that
// friends can reach: the first such of byName, else of interfaces, else
// "127.0.0.1".
std::string ChooseLocalIP(const std::vector<std::uint32_t>& byName, const std::vector<std::uint32_t>& interfaces);
