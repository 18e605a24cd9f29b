// The program's own facts.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "base/program_env.h"
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
