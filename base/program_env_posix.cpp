// ostrel_env_posix.cpp - program path, address and character set on Linux.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstdlib>

#include "base/text.h"
#include "http/ostrel.h"
#include "net/component.h"
#include "net/exceptions.h"
#include "net/stack.h"

namespace {
bool IsLoopback(std::uint32_t ip) { return (ntohl(ip) >> 24) == 127; }
}  // namespace

char TOstrel::PathDelim() { return '/'; }

std::string TOstrel::GetExePath() {
  char path[4096];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

// Debian maps the host name to 127.0.1.1: loopback answers are passed over for
// an address that friends can reach.
std::string TOstrel::GetLocalIP() {
  try {
    TIdComponent stack;
    for (std::uint32_t ip : TIdStack::HostAddresses())
      if (!IsLoopback(ip)) return IPToText(ip);
  } catch (const EIdSocketError&) {
  }
  ifaddrs* list = nullptr;
  std::string result = "127.0.0.1";
  if (::getifaddrs(&list) == 0) {
    for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
      if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
      std::uint32_t ip = reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr;
      if (!IsLoopback(ip)) {
        result = IPToText(ip);
        break;
      }
    }
    ::freeifaddrs(list);
  }
  return result;
}

std::string TOstrel::GetCharset() {
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != 0) {
      locale = value;
      break;
    }
  }
  std::string upper = text::UpperAscii(locale);
  if (upper.find("UTF-8") != std::string::npos || upper.find("UTF8") != std::string::npos) return "utf-8";
  return upper.rfind("ZH_CN", 0) == 0 ? "gb2312" : "iso-8859-1";
}
