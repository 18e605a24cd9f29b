// address_choice.h - which of the machine's IPv4 addresses to give out, as a
// pure rule over the adapters and default routes that each platform gathers
// (net/local_ip_*.cpp), so that both builds test the same table. Any thread.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// What an adapter is, as far as a phone on the same network cares.
enum class TAdapterKind {
  Ethernet,  // a physical wired adapter
  WiFi,      // a physical wireless adapter
  Physical,  // a physical adapter of another medium
  Virtual,   // a virtual switch, a host-only or container network, a bridge
  Tunnel,    // a VPN or another tunnel
  Loopback,
};

// One IPv4 address of an adapter, as the platform reports it.
struct TAdapterAddress {
  std::uint32_t IP = 0;  // network byte order
  int Interface = 0;     // the adapter's index, as the routes name it
  std::string Adapter;   // the adapter's name as the system shows it (UTF-8)
  TAdapterKind Kind = TAdapterKind::Virtual;
  bool Up = false;          // the link is up and passes traffic
  bool HasGateway = false;  // the adapter has a default gateway of its own
};

// A route to 0.0.0.0/0; the lowest metric wins.
struct TDefaultRoute {
  int Interface = 0;
  std::uint32_t Metric = 0;
};

// An address offered to the person: dotted, with its adapter's name and kind.
struct TLocalAddress {
  std::string IP;
  std::string Adapter;  // "" when only the host name's lookup knew it
  TAdapterKind Kind = TAdapterKind::Physical;
  bool operator==(const TLocalAddress&) const = default;
};

// The addresses to offer, the one to give out first, then the other usable
// ones (up, neither loopback nor link-local) in the adapters' order. The one
// given out: the address of the adapter on the best default route, unless that
// adapter is virtual or a tunnel while a physical adapter with a gateway has
// an address (a full-tunnel VPN, say); without a default route, the first
// private-range address of a physical adapter; last, the old rule: the first
// address of the host name's lookup (byName) that is not loopback, else of
// any adapter. Empty when none of these has an address. The lookup is made
// only when the old rule is reached: it may wait on the name service, and the
// adapters nearly always tell.
std::vector<TLocalAddress> ChooseAddresses(const std::vector<TAdapterAddress>& adapters,
                                           const std::vector<TDefaultRoute>& routes,
                                           const std::function<std::vector<std::uint32_t>()>& byName);

// The list with the address ip moved to the front, when it is in the list:
// the user's pick holds while the machine has that address.
std::vector<TLocalAddress> WithFirst(std::vector<TLocalAddress> addresses, const std::string& ip);

// Words for the person: "Ethernet", "Wi-Fi", "network adapter", "virtual",
// "VPN", "loopback".
const char* KindText(TAdapterKind kind);
// Stable words for files: "ethernet", "wifi", "physical", "virtual", "vpn", "loopback".
const char* KindKey(TAdapterKind kind);

// A default route of Linux's /proc/net/route, by the interface's name.
struct TNamedRoute {
  std::string Interface;
  std::uint32_t Metric = 0;
  bool ViaGateway = false;  // through a router, not straight onto a link or tunnel
};

// The routes to 0.0.0.0/0 that are up, in the table's order; lines that do
// not parse are passed over.
std::vector<TNamedRoute> ParseDefaultRoutes(std::string_view table);
