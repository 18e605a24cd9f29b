// local_ip_posix.cpp - the address to give out on Linux: the host name's
// lookup, then the interfaces.
#include <ifaddrs.h>
#include <netinet/in.h>

#include "net/component.h"
#include "net/exceptions.h"
#include "net/local_ip.h"
#include "net/stack.h"

namespace {

std::vector<std::uint32_t> ByHostName() {
  try {
    TIdComponent stack;
    return TIdStack::HostAddresses();
  } catch (const EIdSocketError&) {
    return {};
  }
}

std::vector<std::uint32_t> OfInterfaces() {
  std::vector<std::uint32_t> addresses;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return addresses;
  for (ifaddrs* a = list; a != nullptr; a = a->ifa_next)
    if (a->ifa_addr != nullptr && a->ifa_addr->sa_family == AF_INET)
      addresses.push_back(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
  ::freeifaddrs(list);
  return addresses;
}

}  // namespace

std::string GetLocalIP() { return ChooseLocalIP(ByHostName(), OfInterfaces()); }
