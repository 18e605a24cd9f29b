// local_ip_posix.cpp - the machine's addresses on Linux: the interfaces'
// own (getifaddrs), their kinds from /sys/class/net, the kernel's default
// routes from /proc/net/route (the host name's lookup is local_ip.cpp's).
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <map>

#include "base/native_fs.h"
#include "base/text.h"
#include "net/local_ip.h"

namespace {

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// sysfs tells what a link is: a "device" link for hardware, "wireless" or
// "phy80211" for Wi-Fi, "tun_flags" for tun and tap, and the hardware type
// (1 for Ethernet; tunnels and PPP have others). What cannot be read counts
// as virtual, which only lets the default route decide.
TAdapterKind KindOf(const std::string& name, unsigned flags) {
  if ((flags & IFF_LOOPBACK) != 0) return TAdapterKind::Loopback;
  if ((flags & IFF_POINTOPOINT) != 0) return TAdapterKind::Tunnel;
  const std::string dir = "/sys/class/net/" + name;
  std::string type;
  native_fs::LoadBytes(dir + "/type", type);
  type = text::Trim(type);
  if (Exists(dir + "/tun_flags") || (!type.empty() && type != "1" && type != "32")) return TAdapterKind::Tunnel;
  if (!Exists(dir + "/device")) return TAdapterKind::Virtual;
  if (Exists(dir + "/wireless") || Exists(dir + "/phy80211")) return TAdapterKind::WiFi;
  return type == "1" ? TAdapterKind::Ethernet : TAdapterKind::Physical;
}

std::vector<TAdapterAddress> Interfaces() {
  std::vector<TAdapterAddress> adapters;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return adapters;
  std::map<std::string, TAdapterKind> kinds;
  for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
    if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
    const std::string name = a->ifa_name;
    if (kinds.count(name) == 0) kinds[name] = KindOf(name, a->ifa_flags);
    TAdapterAddress adapter;
    adapter.IP = reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr;
    adapter.Interface = static_cast<int>(::if_nametoindex(a->ifa_name));
    adapter.Adapter = name;
    adapter.Kind = kinds[name];
    adapter.Up = (a->ifa_flags & IFF_UP) != 0 && (a->ifa_flags & IFF_RUNNING) != 0;
    adapters.push_back(adapter);
  }
  ::freeifaddrs(list);
  return adapters;
}

// The kernel's default routes of this network namespace; an adapter has a
// gateway when one of them leads through a router on it.
std::vector<TDefaultRoute> DefaultRoutes(std::vector<TAdapterAddress>& adapters) {
  std::string table;
  native_fs::LoadBytes("/proc/net/route", table);
  std::vector<TDefaultRoute> routes;
  for (const TNamedRoute& route : ParseDefaultRoutes(table)) {
    const int index = static_cast<int>(::if_nametoindex(route.Interface.c_str()));
    if (index == 0) continue;
    routes.push_back({index, route.Metric});
    for (TAdapterAddress& a : adapters)
      if (a.Interface == index && route.ViaGateway) a.HasGateway = true;
  }
  return routes;
}

}  // namespace

std::vector<TLocalAddress> LocalAddresses() {
  std::vector<TAdapterAddress> adapters = Interfaces();
  const std::vector<TDefaultRoute> routes = DefaultRoutes(adapters);
  std::vector<TLocalAddress> offered = ChooseAddresses(adapters, routes, HostNameAddresses);
  if (offered.empty()) offered.push_back({"127.0.0.1", "lo", TAdapterKind::Loopback});
  return offered;
}
