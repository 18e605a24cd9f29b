// The environment queries: program folder, local address, character set.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "http/ostrel.h"

namespace {

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

TEST(Environment, LocalIPIsADottedIPv4Address) {
  std::string ip = TOstrel::GetLocalIP();
  unsigned a, b, c, d;
  char tail;
  ASSERT_EQ(4, std::sscanf(ip.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail)) << ip;
  EXPECT_LE(a, 255u);
  EXPECT_LE(d, 255u);
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
