// address_choice_tests.cpp - the address given out and the others offered, as
// a pure rule over adapters and default routes; the Linux route table's reading.
#include <gtest/gtest.h>

#include <cstdio>

#include "net/address_choice.h"

namespace {

using K = TAdapterKind;

// An address in network byte order, as the system tables give them.
std::uint32_t Ip(const char* dotted) {
  unsigned b[4] = {};
  std::sscanf(dotted, "%u.%u.%u.%u", &b[0], &b[1], &b[2], &b[3]);
  std::uint32_t ip;
  for (int i = 0; i < 4; ++i) reinterpret_cast<unsigned char*>(&ip)[i] = static_cast<unsigned char>(b[i]);
  return ip;
}

TAdapterAddress Adapter(int index, K kind, const char* ip, bool gateway = false, bool up = true) {
  return {Ip(ip), index, "", kind, up, gateway};
}

// "ip kind" for each offered address, the given one first.
std::string Offered(const std::vector<TLocalAddress>& list) {
  std::string text;
  for (const TLocalAddress& a : list) text += (text.empty() ? "" : " | ") + a.IP + " " + KindKey(a.Kind);
  return text;
}

TEST(AddressChoice, TheDefaultRoutesPhysicalAdapterFirstThenTheOthers) {
  const TAdapterAddress vswitch = Adapter(2, K::Virtual, "172.20.0.5"), vpn = Adapter(9, K::Tunnel, "10.8.0.2");
  const TAdapterAddress wifi = Adapter(7, K::WiFi, "192.168.1.50", true);
  const TAdapterAddress ethernet = Adapter(3, K::Ethernet, "192.168.1.20", true);
  const TAdapterAddress lo = Adapter(1, K::Loopback, "127.0.0.1"), eth0 = Adapter(2, K::Virtual, "10.0.0.5");
  const struct {
    const char* Case;
    std::vector<TAdapterAddress> Adapters;
    std::vector<TDefaultRoute> Routes;
    std::vector<const char*> ByName;  // the host name's lookup
    const char* Expected;
  } cases[] = {
      {"a virtual switch listed first, and first in the lookup", {vswitch, wifi}, {{7, 35}},
       {"172.20.0.5", "192.168.1.50"}, "192.168.1.50 wifi | 172.20.0.5 virtual"},
      {"a full-tunnel VPN holds the best route: the physical adapter with the best route of its own",
       {vpn, wifi, ethernet}, {{9, 1}, {7, 35}, {3, 25}}, {},
       "192.168.1.20 ethernet | 10.8.0.2 vpn | 192.168.1.50 wifi"},
      {"the VPN's route is the only one: the physical adapter with a gateway", {vpn, wifi}, {{9, 1}}, {},
       "192.168.1.50 wifi | 10.8.0.2 vpn"},
      {"a VPN on a machine with no physical gateway keeps the route", {vpn, vswitch}, {{9, 1}}, {},
       "10.8.0.2 vpn | 172.20.0.5 virtual"},
      {"two physical adapters: the lower metric", {ethernet, wifi}, {{7, 35}, {3, 25}}, {},
       "192.168.1.20 ethernet | 192.168.1.50 wifi"},
      {"the route's adapter is down: the next route; an address listed twice offered once",
       {Adapter(7, K::WiFi, "192.168.1.50", true, false), ethernet, ethernet}, {{7, 1}, {3, 25}}, {},
       "192.168.1.20 ethernet"},
      {"no default route: the first private address of a physical adapter",
       {vswitch, Adapter(5, K::Ethernet, "203.0.113.9"), Adapter(7, K::WiFi, "172.31.4.2")}, {}, {"172.20.0.5"},
       "172.31.4.2 wifi | 172.20.0.5 virtual | 203.0.113.9 ethernet"},
      {"only loopback: nothing to offer", {lo}, {}, {"127.0.1.1"}, ""},
      {"link-local only: the old rule gives it", {Adapter(3, K::Ethernet, "169.254.7.9"), lo}, {}, {"169.254.7.9"},
       "169.254.7.9 ethernet"},
      // The old rule where nothing better is known: one adapter, no route table.
      {"old rule: Debian's host name entry passed over", {eth0}, {}, {"127.0.1.1", "192.168.1.20"},
       "192.168.1.20 physical | 10.0.0.5 virtual"},
      {"old rule: the lookup's first", {}, {}, {"10.1.1.1", "192.168.1.2"}, "10.1.1.1 physical"},
      {"old rule: the first interface that is not loopback", {lo, eth0, Adapter(3, K::Virtual, "10.0.0.6")}, {},
       {"127.0.1.1"}, "10.0.0.5 virtual | 10.0.0.6 virtual"},
  };
  for (const auto& c : cases) {
    std::vector<std::uint32_t> byName;
    for (const char* ip : c.ByName) byName.push_back(Ip(ip));
    EXPECT_EQ(c.Expected, Offered(ChooseAddresses(c.Adapters, c.Routes, [&byName] { return byName; }))) << c.Case;
  }
}

TEST(AddressChoice, LinuxDefaultRoutesAreReadFromTheKernelsTable) {
  std::string read;
  for (const TNamedRoute& r : ParseDefaultRoutes(
           "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
           "wg0\t00000000\t00000000\t0001\t0\t0\t50\t00000000\t0\t0\t0\n"
           "wlan0\t0001A8C0\t00000000\t0001\t0\t0\t600\t00FFFFFF\t0\t0\t0\n"  // not the default
           "br-x\t00000000\t0101A8C0\t0003\t0\t0\t100\t0000FFFF\t0\t0\t0\n"   // a mask: not the default
           "short\t00000000\t0101A8C0\t0003\n"  // a line cut short
           "docker0\t00000000\t010011AC\t0003\t0\t0\t4294967295\t00000000\t0\t0\t0"))
    read += r.Interface + " " + std::to_string(r.Metric) + (r.ViaGateway ? " via; " : "; ");
  EXPECT_EQ("wg0 50; docker0 4294967295 via; ", read);
}

}  // namespace
