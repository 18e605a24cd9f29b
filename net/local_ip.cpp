// local_ip.cpp - what both platforms share of the machine's addresses: the
// host name's lookup of the old rule, and the address given out.
#include "net/local_ip.h"

#include "net/component.h"
#include "net/exceptions.h"
#include "net/stack.h"

std::vector<std::uint32_t> HostNameAddresses() {
  try {
    TIdComponent stack;  // the lookup needs the socket layer up
    return TIdStack::HostAddresses();
  } catch (const EIdSocketError&) {
    return {};
  }
}

std::string GetLocalIP() { return LocalAddresses().front().IP; }
