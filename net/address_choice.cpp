// address_choice.cpp - the rule for the address to give out, and the Linux
// route table's reading.
#include "net/address_choice.h"

#include <algorithm>
#include <charconv>

#include "base/text.h"
#include "net/stack.h"

namespace {

// The first byte of an address in network byte order comes first in memory.
unsigned Byte(std::uint32_t ip, int i) { return reinterpret_cast<const unsigned char*>(&ip)[i]; }

bool IsLoopback(std::uint32_t ip) { return Byte(ip, 0) == 127; }
bool IsLinkLocal(std::uint32_t ip) { return Byte(ip, 0) == 169 && Byte(ip, 1) == 254; }
bool IsPrivate(std::uint32_t ip) {
  return Byte(ip, 0) == 10 || (Byte(ip, 0) == 172 && (Byte(ip, 1) & 0xF0) == 16) ||
         (Byte(ip, 0) == 192 && Byte(ip, 1) == 168);
}

bool IsPhysical(TAdapterKind kind) {
  return kind == TAdapterKind::Ethernet || kind == TAdapterKind::WiFi || kind == TAdapterKind::Physical;
}

// An address a phone on one of the machine's networks might reach.
bool Usable(const TAdapterAddress& a) {
  return a.Up && a.IP != 0 && a.Kind != TAdapterKind::Loopback && !IsLoopback(a.IP) && !IsLinkLocal(a.IP);
}

const TAdapterAddress* FirstUsable(const std::vector<TAdapterAddress>& adapters, int interface) {
  for (const TAdapterAddress& a : adapters)
    if (a.Interface == interface && Usable(a)) return &a;
  return nullptr;
}

// Default routes best first; equal metrics keep the table's order.
std::vector<TDefaultRoute> ByMetric(std::vector<TDefaultRoute> routes) {
  std::stable_sort(routes.begin(), routes.end(),
                   [](const TDefaultRoute& a, const TDefaultRoute& b) { return a.Metric < b.Metric; });
  return routes;
}

// A physical adapter with a gateway: the one on the best default route of its
// own, else the first listed.
const TAdapterAddress* PhysicalWithGateway(const std::vector<TAdapterAddress>& adapters,
                                           const std::vector<TDefaultRoute>& routes) {
  const auto fits = [](const TAdapterAddress& a) { return Usable(a) && IsPhysical(a.Kind) && a.HasGateway; };
  for (const TDefaultRoute& route : routes)
    for (const TAdapterAddress& a : adapters)
      if (a.Interface == route.Interface && fits(a)) return &a;
  for (const TAdapterAddress& a : adapters)
    if (fits(a)) return &a;
  return nullptr;
}

TLocalAddress Offer(const TAdapterAddress& a) { return {IPToText(a.IP), a.Adapter, a.Kind}; }

// The old rule, for machines whose adapters tell nothing better.
bool ByOldRule(const std::vector<TAdapterAddress>& adapters, const std::vector<std::uint32_t>& byName,
               TLocalAddress& chosen) {
  for (std::uint32_t ip : byName) {
    if (IsLoopback(ip)) continue;
    chosen = {IPToText(ip), "", TAdapterKind::Physical};
    for (const TAdapterAddress& a : adapters)
      if (a.IP == ip) chosen = Offer(a);
    return true;
  }
  for (const TAdapterAddress& a : adapters) {
    if (IsLoopback(a.IP) || a.Kind == TAdapterKind::Loopback || a.IP == 0) continue;
    chosen = Offer(a);
    return true;
  }
  return false;
}

}  // namespace

std::vector<TLocalAddress> ChooseAddresses(const std::vector<TAdapterAddress>& adapters,
                                           const std::vector<TDefaultRoute>& routes,
                                           const std::function<std::vector<std::uint32_t>()>& byName) {
  const std::vector<TDefaultRoute> best = ByMetric(routes);
  const TAdapterAddress* chosen = nullptr;
  for (const TDefaultRoute& route : best)
    if ((chosen = FirstUsable(adapters, route.Interface)) != nullptr) break;
  if (chosen != nullptr && !IsPhysical(chosen->Kind)) {
    if (const TAdapterAddress* physical = PhysicalWithGateway(adapters, best)) chosen = physical;
  }
  if (chosen == nullptr) {
    for (const TAdapterAddress& a : adapters)
      if (Usable(a) && IsPhysical(a.Kind) && IsPrivate(a.IP)) {
        chosen = &a;
        break;
      }
  }
  std::vector<TLocalAddress> offered;
  TLocalAddress first;
  if (chosen != nullptr) offered.push_back(Offer(*chosen));
  else if (ByOldRule(adapters, byName(), first)) offered.push_back(first);
  for (const TAdapterAddress& a : adapters) {
    if (!Usable(a)) continue;
    const std::string ip = IPToText(a.IP);
    if (std::none_of(offered.begin(), offered.end(), [&ip](const TLocalAddress& o) { return o.IP == ip; }))
      offered.push_back(Offer(a));
  }
  return offered;
}

std::vector<TLocalAddress> WithFirst(std::vector<TLocalAddress> addresses, const std::string& ip) {
  const auto found =
      std::find_if(addresses.begin(), addresses.end(), [&ip](const TLocalAddress& a) { return a.IP == ip; });
  if (found != addresses.end()) std::rotate(addresses.begin(), found, found + 1);
  return addresses;
}

const char* KindText(TAdapterKind kind) {
  switch (kind) {
    case TAdapterKind::Ethernet: return "Ethernet";
    case TAdapterKind::WiFi: return "Wi-Fi";
    case TAdapterKind::Physical: return "network adapter";
    case TAdapterKind::Virtual: return "virtual";
    case TAdapterKind::Tunnel: return "VPN";
    case TAdapterKind::Loopback: return "loopback";
  }
  return "";
}

const char* KindKey(TAdapterKind kind) {
  switch (kind) {
    case TAdapterKind::Ethernet: return "ethernet";
    case TAdapterKind::WiFi: return "wifi";
    case TAdapterKind::Physical: return "physical";
    case TAdapterKind::Virtual: return "virtual";
    case TAdapterKind::Tunnel: return "vpn";
    case TAdapterKind::Loopback: return "loopback";
  }
  return "";
}

namespace {

bool HexField(std::string_view field, std::uint32_t& value) {
  const char* end = field.data() + field.size();
  const auto [at, error] = std::from_chars(field.data(), end, value, 16);
  return error == std::errc() && at == end && !field.empty();
}

bool DecimalField(std::string_view field, std::uint32_t& value) {
  const char* end = field.data() + field.size();
  const auto [at, error] = std::from_chars(field.data(), end, value);
  return error == std::errc() && at == end && !field.empty();
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t start = line.find_first_not_of(" \t", at);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
    fields.push_back(line.substr(start, end - start));
    at = end;
  }
  return fields;
}

}  // namespace

// Iface Destination Gateway Flags RefCnt Use Metric Mask ...: the numbers in
// hexadecimal but for RefCnt, Use and Metric.
std::vector<TNamedRoute> ParseDefaultRoutes(std::string_view table) {
  constexpr std::uint32_t kRouteUp = 0x1, kRouteGateway = 0x2;
  std::vector<TNamedRoute> routes;
  text::ForEachLine(table, [&routes](std::string_view line) {
    const std::vector<std::string_view> f = Fields(line);
    std::uint32_t destination = 0, flags = 0, metric = 0, mask = 0;
    if (f.size() < 8 || !HexField(f[1], destination) || !HexField(f[3], flags) || !DecimalField(f[6], metric) ||
        !HexField(f[7], mask))
      return;  // the heading, or a line of another shape
    if (destination != 0 || mask != 0 || (flags & kRouteUp) == 0) return;
    routes.push_back({std::string(f[0]), metric, (flags & kRouteGateway) != 0});
  });
  return routes;
}
