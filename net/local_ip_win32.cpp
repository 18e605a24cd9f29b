// local_ip_win32.cpp - the machine's addresses on Windows: the IP Helper's
// adapter table (type, state, gateway, whether a connector is present), the
// interface of the best route outside and the forward table's default routes
// (the host name's lookup is local_ip.cpp's).
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include "base/system_text_win32.h"
#include "net/local_ip.h"
#include "net/tcp_connection.h"

namespace {

// Hyper-V's switches, VirtualBox's and VMware's host-only adapters, WSL and
// TAP drivers call themselves Ethernet: only the connector tells a physical
// adapter (the test that PowerShell's Get-NetAdapter -Physical makes).
bool ConnectorPresent(const NET_LUID& luid) {
  MIB_IF_ROW2 row = {};
  row.InterfaceLuid = luid;
  return GetIfEntry2(&row) == NO_ERROR && row.InterfaceAndOperStatusFlags.ConnectorPresent;
}

TAdapterKind KindOf(const IP_ADAPTER_ADDRESSES& a) {
  switch (a.IfType) {
    case IF_TYPE_SOFTWARE_LOOPBACK: return TAdapterKind::Loopback;
    case IF_TYPE_TUNNEL:
    case IF_TYPE_PPP:
    case IF_TYPE_PROP_VIRTUAL: return TAdapterKind::Tunnel;  // WireGuard's and other VPNs' adapters
    default: break;
  }
  if (!ConnectorPresent(a.Luid)) return TAdapterKind::Virtual;
  if (a.IfType == IF_TYPE_IEEE80211) return TAdapterKind::WiFi;
  return a.IfType == IF_TYPE_ETHERNET_CSMACD ? TAdapterKind::Ethernet : TAdapterKind::Physical;
}

// The table's size may grow between the two calls: asked again a few times.
std::vector<unsigned char> AdapterTable() {
  constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER |
                           GAA_FLAG_INCLUDE_GATEWAYS;
  ULONG size = 16 * 1024;
  std::vector<unsigned char> table;
  for (int attempt = 0; attempt < 4; ++attempt) {
    table.assign(size, 0);
    const ULONG result =
        GetAdaptersAddresses(AF_INET, kFlags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(table.data()), &size);
    if (result == NO_ERROR) return table;
    if (result != ERROR_BUFFER_OVERFLOW) break;
  }
  return {};
}

std::vector<TAdapterAddress> Adapters() {
  std::vector<TAdapterAddress> adapters;
  std::vector<unsigned char> table = AdapterTable();
  if (table.empty()) return adapters;
  for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(table.data()); a != nullptr; a = a->Next) {
    const TAdapterKind kind = KindOf(*a);
    const std::string name = a->FriendlyName != nullptr ? Utf8Of(a->FriendlyName) : "";
    for (IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
      if (u->Address.lpSockaddr == nullptr || u->Address.lpSockaddr->sa_family != AF_INET) continue;
      TAdapterAddress adapter;
      adapter.IP = reinterpret_cast<sockaddr_in*>(u->Address.lpSockaddr)->sin_addr.s_addr;
      adapter.Interface = static_cast<int>(a->IfIndex);
      adapter.Adapter = name;
      adapter.Kind = kind;
      adapter.Up = a->OperStatus == IfOperStatusUp;
      adapter.HasGateway = a->FirstGatewayAddress != nullptr;
      adapters.push_back(adapter);
    }
  }
  return adapters;
}

// The interface that Windows would send a packet to the outside through: its
// choice weighs the routes' and the interfaces' metrics (an interface's own
// metric cannot be asked of Wine, which aborts a program that calls for it).
// 192.0.2.1 (TEST-NET-1) lies on no network: only a default route, or a VPN's
// routes that cover everything, lead there.
int BestInterface() {
  sockaddr_in outside = {};
  outside.sin_family = AF_INET;
  outside.sin_addr.s_addr = htonl(0xC0000201);
  DWORD index = 0;
  return GetBestInterfaceEx(reinterpret_cast<sockaddr*>(&outside), &index) == NO_ERROR ? static_cast<int>(index) : 0;
}

// The best interface's route first; the forward table's other default routes
// after it, in the table's order.
std::vector<TDefaultRoute> DefaultRoutes() {
  std::vector<TDefaultRoute> routes;
  const int best = BestInterface();
  if (best != 0) routes.push_back({best, 0});
  MIB_IPFORWARD_TABLE2* table = nullptr;
  if (GetIpForwardTable2(AF_INET, &table) != NO_ERROR || table == nullptr) return routes;
  for (ULONG i = 0; i < table->NumEntries; ++i) {
    const MIB_IPFORWARD_ROW2& route = table->Table[i];
    if (route.DestinationPrefix.PrefixLength == 0 && static_cast<int>(route.InterfaceIndex) != best)
      routes.push_back({static_cast<int>(route.InterfaceIndex), 1});
  }
  FreeMibTable(table);
  return routes;
}

}  // namespace

std::vector<TLocalAddress> LocalAddresses() {
  std::vector<TLocalAddress> offered = ChooseAddresses(Adapters(), DefaultRoutes(), HostNameAddresses);
  if (offered.empty()) offered.push_back({FirstLocalAddress(), "", TAdapterKind::Physical});  // raises as before
  return offered;
}
