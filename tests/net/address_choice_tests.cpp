// The address given out, as a pure rule over adapters and default routes, on
// both builds; the Linux route table's reading; the user's pick put first.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "net/address_choice.h"

namespace {

using K = TAdapterKind;

// An address in network byte order, as the system tables give them.
std::uint32_t Ip(const char* dotted) {
  unsigned b[4] = {};
  std::sscanf(dotted, "%u.%u.%u.%u", &b[0], &b[1], &b[2], &b[3]);
  const unsigned char bytes[4] = {static_cast<unsigned char>(b[0]), static_cast<unsigned char>(b[1]),
                                  static_cast<unsigned char>(b[2]), static_cast<unsigned char>(b[3])};
  std::uint32_t ip;
  std::memcpy(&ip, bytes, sizeof ip);
  return ip;
}

TAdapterAddress Adapter(int index, const char* name, K kind, const char* ip, bool gateway = false, bool up = true) {
  return {Ip(ip), index, name, kind, up, gateway};
}

// "ip name kind" for each offered address, the given one first.
std::string Offered(const std::vector<TLocalAddress>& list) {
  std::string text;
  for (const TLocalAddress& a : list)
    text += (text.empty() ? "" : " | ") + a.IP + " " + a.Adapter + " " + KindKey(a.Kind);
  return text;
}

TEST(AddressChoice, TheDefaultRoutesPhysicalAdapterFirstThenTheOthers) {
  const TAdapterAddress vswitch = Adapter(2, "vEthernet (Default Switch)", K::Virtual, "172.20.0.5");
  const TAdapterAddress wifi = Adapter(7, "Wi-Fi", K::WiFi, "192.168.1.50", true);
  const TAdapterAddress ethernet = Adapter(3, "Ethernet", K::Ethernet, "192.168.1.20", true);
  const TAdapterAddress vpn = Adapter(9, "VPN", K::Tunnel, "10.8.0.2");
  const std::vector<std::uint32_t> noName;
  const struct {
    const char* Case;
    std::vector<TAdapterAddress> Adapters;
    std::vector<TDefaultRoute> Routes;
    std::vector<std::uint32_t> ByName;
    const char* Expected;
  } cases[] = {
      {"a virtual switch listed first (and first in the host name's lookup)", {vswitch, wifi}, {{7, 35}},
       {Ip("172.20.0.5"), Ip("192.168.1.50")},
       "192.168.1.50 Wi-Fi wifi | 172.20.0.5 vEthernet (Default Switch) virtual"},
      {"a full-tunnel VPN holds the best default route beside Wi-Fi with a gateway", {vpn, wifi},
       {{9, 1}, {7, 35}}, noName, "192.168.1.50 Wi-Fi wifi | 10.8.0.2 VPN vpn"},
      {"the VPN's route is the only default route", {vpn, wifi}, {{9, 1}}, noName,
       "192.168.1.50 Wi-Fi wifi | 10.8.0.2 VPN vpn"},
      {"a VPN on a machine with no physical gateway keeps the route", {vpn, vswitch}, {{9, 1}}, noName,
       "10.8.0.2 VPN vpn | 172.20.0.5 vEthernet (Default Switch) virtual"},
      {"the physical adapter with the best route of its own wins among several", {vpn, wifi, ethernet},
       {{9, 1}, {7, 35}, {3, 25}}, noName,
       "192.168.1.20 Ethernet ethernet | 10.8.0.2 VPN vpn | 192.168.1.50 Wi-Fi wifi"},
      {"a virtual switch that holds the machine's network (an external switch, a bridge) and its route",
       {Adapter(4, "vEthernet (External)", K::Virtual, "192.168.1.30", true), vswitch}, {{4, 10}}, noName,
       "192.168.1.30 vEthernet (External) virtual | 172.20.0.5 vEthernet (Default Switch) virtual"},
      {"two physical adapters: the lower metric", {ethernet, wifi}, {{7, 35}, {3, 25}}, noName,
       "192.168.1.20 Ethernet ethernet | 192.168.1.50 Wi-Fi wifi"},
      {"two physical adapters, Wi-Fi cheaper", {ethernet, wifi}, {{3, 50}, {7, 35}}, noName,
       "192.168.1.50 Wi-Fi wifi | 192.168.1.20 Ethernet ethernet"},
      {"equal metrics keep the table's order", {ethernet, wifi}, {{7, 25}, {3, 25}}, noName,
       "192.168.1.50 Wi-Fi wifi | 192.168.1.20 Ethernet ethernet"},
      {"the route's adapter is down: the next route",
       {Adapter(7, "Wi-Fi", K::WiFi, "192.168.1.50", true, false), ethernet}, {{7, 1}, {3, 25}}, noName,
       "192.168.1.20 Ethernet ethernet"},
      {"no default route (a hotspot, a router without internet): the first private physical address",
       {vswitch, Adapter(5, "Ethernet 2", K::Ethernet, "203.0.113.9"), Adapter(7, "Wi-Fi", K::WiFi, "172.31.4.2")},
       {}, {Ip("172.20.0.5")},
       "172.31.4.2 Wi-Fi wifi | 172.20.0.5 vEthernet (Default Switch) virtual | 203.0.113.9 Ethernet 2 ethernet"},
      {"a route whose adapter has no address counts as none", {Adapter(7, "Wi-Fi", K::WiFi, "10.1.2.3")}, {{8, 1}},
       noName, "10.1.2.3 Wi-Fi wifi"},
      {"only loopback: nothing to offer", {Adapter(1, "lo", K::Loopback, "127.0.0.1")}, {},
       {Ip("127.0.1.1")}, ""},
      {"link-local only: the old rule gives it, nothing else is offered",
       {Adapter(3, "Ethernet", K::Ethernet, "169.254.7.9"), Adapter(1, "lo", K::Loopback, "127.0.0.1")}, {},
       {Ip("169.254.7.9")}, "169.254.7.9 Ethernet ethernet"},
      {"link-local only, no host name", {Adapter(3, "Ethernet", K::Ethernet, "169.254.7.9")}, {}, noName,
       "169.254.7.9 Ethernet ethernet"},
      {"down and duplicate addresses are offered once or not at all",
       {wifi, Adapter(8, "Ethernet", K::Ethernet, "192.168.7.7", true, false), Adapter(7, "Wi-Fi", K::WiFi, "192.168.1.50")},
       {{7, 5}}, noName, "192.168.1.50 Wi-Fi wifi"},
      // The old rule where nothing better is known: one adapter, no route table.
      {"old rule: Debian's host name entry passed over", {Adapter(2, "eth0", K::Virtual, "10.0.0.5")}, {},
       {Ip("127.0.1.1"), Ip("192.168.1.20")}, "192.168.1.20  physical | 10.0.0.5 eth0 virtual"},
      {"old rule: the lookup's first", {}, {}, {Ip("10.1.1.1"), Ip("192.168.1.2")}, "10.1.1.1  physical"},
      {"old rule: the first interface that is not loopback",
       {Adapter(1, "lo", K::Loopback, "127.0.0.1"), Adapter(2, "eth0", K::Virtual, "10.0.0.5"),
        Adapter(3, "eth1", K::Virtual, "10.0.0.6")},
       {}, {Ip("127.0.1.1")}, "10.0.0.5 eth0 virtual | 10.0.0.6 eth1 virtual"},
      {"old rule: the lookup's address carries its adapter's name", {Adapter(2, "eth0", K::Virtual, "10.0.0.5")}, {},
       {Ip("10.0.0.5")}, "10.0.0.5 eth0 virtual"},
      {"nothing at all", {}, {}, noName, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.Expected, Offered(ChooseAddresses(c.Adapters, c.Routes, c.ByName))) << c.Case;
}

TEST(AddressChoice, TheUsersPickComesFirstWhileTheMachineHasIt) {
  const std::vector<TLocalAddress> list = {{"192.168.1.50", "Wi-Fi", K::WiFi},
                                           {"172.20.0.5", "vEthernet", K::Virtual},
                                           {"10.8.0.2", "VPN", K::Tunnel}};
  EXPECT_EQ("10.8.0.2 VPN vpn | 192.168.1.50 Wi-Fi wifi | 172.20.0.5 vEthernet virtual",
            Offered(WithFirst(list, "10.8.0.2")));
  EXPECT_EQ(Offered(list), Offered(WithFirst(list, "192.168.1.50")));
  EXPECT_EQ(Offered(list), Offered(WithFirst(list, "192.168.1.51"))) << "an address the machine no longer has";
  EXPECT_EQ(Offered(list), Offered(WithFirst(list, "")));
  EXPECT_EQ("", Offered(WithFirst({}, "10.8.0.2")));
}

TEST(AddressChoice, LinuxDefaultRoutesAreReadFromTheKernelsTable) {
  const char* table =
      "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
      "wg0\t00000000\t00000000\t0001\t0\t0\t50\t00000000\t0\t0\t0\n"
      "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
      "wlan0\t0001A8C0\t00000000\t0001\t0\t0\t600\t00FFFFFF\t0\t0\t0\n"
      "eth9\t00000000\t0101A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0\n"   // not up
      "br-x\t00000000\t0101A8C0\t0003\t0\t0\t100\t0000FFFF\t0\t0\t0\n"  // a mask: not the default
      "bad\t0000000Z\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
      "short\t00000000\t0101A8C0\t0003\n"
      "docker0\t00000000\t010011AC\t0003\t0\t0\t4294967295\t00000000\t0\t0\t0";
  const std::vector<TNamedRoute> routes = ParseDefaultRoutes(table);
  ASSERT_EQ(3u, routes.size());
  EXPECT_EQ("wg0", routes[0].Interface);
  EXPECT_EQ(50u, routes[0].Metric);
  EXPECT_FALSE(routes[0].ViaGateway);
  EXPECT_EQ("wlan0", routes[1].Interface);
  EXPECT_EQ(600u, routes[1].Metric);
  EXPECT_TRUE(routes[1].ViaGateway);
  EXPECT_EQ("docker0", routes[2].Interface);
  EXPECT_EQ(4294967295u, routes[2].Metric);
  EXPECT_TRUE(ParseDefaultRoutes("").empty());
}

}  // namespace
