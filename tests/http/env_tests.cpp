// The program's own facts, and the rule for the address it gives out.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/program_env.h"
#include "net/local_ip.h"
#include "sys/console.h"

namespace {

TEST(Environment, AppDirIsTheProgramsFolderWithoutATrailingSeparator) {
  std::string dir = GetAppDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(PathDelim(), dir.back());
  std::string exe = GetExePath();
  EXPECT_EQ(0u, exe.rfind(dir + PathDelim(), 0)) << exe;
  EXPECT_TRUE(std::filesystem::is_directory(dir));

  OverrideAppDir("/elsewhere");
  EXPECT_EQ("/elsewhere", GetAppDir());
  OverrideAppDir("");
  EXPECT_EQ(dir, GetAppDir());
}

// An address in network byte order, as the lookups give them.
std::uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                  static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
  std::uint32_t ip;
  std::memcpy(&ip, bytes, sizeof ip);
  return ip;
}

TEST(Environment, LocalIPPassesOverLoopbackAddresses) {
  const struct {
    std::vector<std::uint32_t> ByName, Interfaces;
    const char* Expected;
  } cases[] = {
      {{Ip(127, 0, 1, 1), Ip(192, 168, 1, 20)}, {Ip(10, 0, 0, 5)}, "192.168.1.20"},  // Debian's host name entry
      {{Ip(10, 1, 1, 1), Ip(192, 168, 1, 2)}, {Ip(10, 9, 9, 9)}, "10.1.1.1"},
      {{Ip(127, 0, 1, 1)}, {Ip(127, 0, 0, 1), Ip(10, 0, 0, 5), Ip(10, 0, 0, 6)}, "10.0.0.5"},
      {{}, {Ip(172, 16, 0, 3)}, "172.16.0.3"},  // the host name cannot be looked up
      {{Ip(127, 0, 1, 1)}, {Ip(127, 0, 0, 1)}, "127.0.0.1"},
      {{}, {}, "127.0.0.1"},
  };
  for (const auto& c : cases) EXPECT_EQ(ChooseLocalIP(c.ByName, c.Interfaces), c.Expected) << c.Expected;
}

TEST(Environment, CharsetIsOneOfTheKnownOnes) {
  std::string charset = GetCharset();
#ifdef _WIN32
  EXPECT_TRUE(charset == "gb2312" || charset == "iso-8859-1") << charset;
#else
  EXPECT_TRUE(charset == "utf-8" || charset == "gb2312" || charset == "iso-8859-1") << charset;
#endif
  EXPECT_FALSE(GetSystemDir().empty());
}

// php/temp's leftovers are told apart from this run's files by it.
TEST(Environment, ProgramStartTimeIsWhenThisTestProgramStarted) {
  const auto now = std::chrono::system_clock::now();
  const auto start = ProgramStartTime();
  EXPECT_LE(start, now + std::chrono::seconds(1));
  EXPECT_GT(start, now - std::chrono::hours(1));
}

}  // namespace
