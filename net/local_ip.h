// local_ip.h - the machine's addresses that the window, the console and the
// pages give out: what the system reports of its adapters and default routes,
// put in order by ChooseAddresses (net/address_choice.h). Any thread may ask;
// each call asks the system afresh.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "net/address_choice.h"

// Every address a phone might use, the one to give out first; never empty.
// Linux: 127.0.0.1 (loopback) when the machine has no other address.
// Windows: when the adapters tell nothing, the first address of the host
// name's lookup, raising EIdSocketError when that fails.
std::vector<TLocalAddress> LocalAddresses();

// The address to give out, dotted: the first of LocalAddresses().
std::string GetLocalIP();

// For the platforms' LocalAddresses: the addresses of the host name's lookup,
// in its order; none when it fails.
std::vector<std::uint32_t> HostNameAddresses();
