// local_ip.cpp - the Linux rule for the address to give out.
#include "net/local_ip.h"

#include "net/stack.h"

namespace {
// The first byte of an address in network byte order comes first in memory.
bool IsLoopback(std::uint32_t ip) { return reinterpret_cast<const unsigned char*>(&ip)[0] == 127; }
}  // namespace

std::string ChooseLocalIP(const std::vector<std::uint32_t>& byName, const std::vector<std::uint32_t>& interfaces) {
  for (const auto* list : {&byName, &interfaces})
    for (std::uint32_t ip : *list)
      if (!IsLoopback(ip)) return IPToText(ip);
  return "127.0.0.1";
}
