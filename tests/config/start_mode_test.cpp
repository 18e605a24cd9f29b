// start_mode_test.cpp - command-line splitting and the "-auto" start mode.
#include <gtest/gtest.h>

#include "base/text.h"
#include "config/kelv.h"
#include "config/kelv_os.h"
#include "config/start_mode.h"

using text::SplitCommandLine;
using startmode::StartModeOf;
using V = std::vector<std::string>;

TEST(StartMode, BlanksSeparateAndQuotesGroupAndAreRemoved) {
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\Share\\ostrel.exe\" -auto"),
            (V{"C:\\Program Files\\Share\\ostrel.exe", "-auto"}));
  EXPECT_EQ(SplitCommandLine("  a\t b  \"c d\"e \"\" f"), (V{"a", "b", "c de", "", "f"}));
  EXPECT_EQ(SplitCommandLine("x \"unclosed quote"), (V{"x", "unclosed quote"}));
  EXPECT_EQ(SplitCommandLine("   "), V{});
}

TEST(StartMode, OnlyTheFirstArgumentInAnyLetterCaseCounts) {
  const struct {
    const char* commandLine;
    int mode;
  } cases[] = {{"ostrel.exe -auto", 0},        {"ostrel.exe -Auto", 0},        {"ostrel.exe -AUTO extra", 0},
               {"ostrel.exe \"-aUTo\"", 0},    {"ostrel.exe -au\"to\"", 0},    {"ostrel.exe", 1},
               {"ostrel.exe -install -auto", 1}, {"ostrel.exe /auto", 1},      {"ostrel.exe auto", 1},
               {"ostrel.exe -autox", 1},       {"ostrel.exe \"-auto \"", 1},   {"\"-auto\"", 1}};
  for (const auto& c : cases) EXPECT_EQ(StartModeOf(SplitCommandLine(c.commandLine)), c.mode) << c.commandLine;
  EXPECT_EQ(StartModeOf(V{}), 1);
}

TEST(StartMode, TheTestProgramItselfIsAnInteractiveStart) {
  V arguments = kelvos::ProcessArguments();
  ASSERT_FALSE(arguments.empty());
  EXPECT_NE(arguments[0].find("config_tests"), std::string::npos) << arguments[0];
  EXPECT_EQ(TKelv::GetStartMode(), StartModeOf(arguments));
}
