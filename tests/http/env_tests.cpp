// The environment queries: program folder, local address, character set.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>
#endif

#include "http/ostrel.h"
#include "net/component.h"

namespace {

std::string Dotted(const in_addr& address) {
  const auto* b = reinterpret_cast<const unsigned char*>(&address);
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return text;
}

// The address the program must report, found here without its own lookup:
// the first IPv4 address of the host name's lookup; on Linux the first that
// is no loopback address, then the first interface's, then 127.0.0.1.
std::string ExpectedLocalIP() {
  TIdComponent sockets;  // started, where the platform needs it
  char host[256] = {};
  gethostname(host, sizeof host - 1);
#ifdef _WIN32
  // The host name's entry, as Windows programs have always looked it up.
  const hostent* entry = gethostbyname(host);
  if (entry == nullptr || entry->h_addr_list[0] == nullptr) return "";
  return Dotted(*reinterpret_cast<const in_addr*>(entry->h_addr_list[0]));
#else
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* list = nullptr;
  std::vector<std::string> byName;
  if (getaddrinfo(host, nullptr, &hints, &list) == 0) {
    for (addrinfo* a = list; a != nullptr; a = a->ai_next)
      byName.push_back(Dotted(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr));
    freeaddrinfo(list);
  }
  for (const std::string& a : byName)
    if (a.rfind("127.", 0) != 0) return a;
  std::string result = "127.0.0.1";
  ifaddrs* interfaces = nullptr;
  if (getifaddrs(&interfaces) != 0) return result;
  for (ifaddrs* i = interfaces; i != nullptr; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
    std::string a = Dotted(reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr);
    if (a.rfind("127.", 0) != 0) {
      result = a;
      break;
    }
  }
  freeifaddrs(interfaces);
  return result;
#endif
}

TEST(Environment, AppDirIsTheProgramsFolderWithoutATrailingSeparator) {
  std::string dir = TOstrel::GetAppDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(TOstrel::PathDelim(), dir.back());
  std::string exe = TOstrel::GetExePath();
  EXPECT_EQ(0u, exe.rfind(dir + TOstrel::PathDelim(), 0)) << exe;
  EXPECT_TRUE(std::filesystem::is_directory(dir));

  TOstrel::OverrideAppDir("/elsewhere");
  EXPECT_EQ("/elsewhere", TOstrel::GetAppDir());
  TOstrel::OverrideAppDir("");
  EXPECT_EQ(dir, TOstrel::GetAppDir());
}

TEST(Environment, LocalIPIsTheAddressTheRuleGives) {
  const std::string expected = ExpectedLocalIP();
  ASSERT_FALSE(expected.empty()) << "the host name has no IPv4 address here";
  EXPECT_EQ(expected, TOstrel::GetLocalIP());
}

TEST(Environment, CharsetIsOneOfTheKnownOnes) {
  std::string charset = TOstrel::GetCharset();
#ifdef _WIN32
  EXPECT_TRUE(charset == "gb2312" || charset == "iso-8859-1") << charset;
#else
  EXPECT_TRUE(charset == "utf-8" || charset == "gb2312" || charset == "iso-8859-1") << charset;
#endif
  EXPECT_FALSE(TOstrel::GetSystemDir().empty());
}

}  // namespace
