// run_mode_test.cpp - the run-mode table: the service start outranks every
// argument, only the first argument counts, upper-cased and compared exactly.
#include <gtest/gtest.h>

#include "app/run_mode.h"
#include "app/switches.h"

namespace {
TRunMode Mode(std::vector<std::string> args, bool service = false) { return SelectRunMode(service, args); }
}  // namespace

TEST(RunMode, SwitchesInAnyLetterCase) {
  EXPECT_EQ(TRunMode::Install, Mode({"-INSTALL"}));
  EXPECT_EQ(TRunMode::Install, Mode({"-install"}));
  EXPECT_EQ(TRunMode::Install, Mode({"-Install"}));
  EXPECT_EQ(TRunMode::Uninstall, Mode({"-uninstall"}));
  EXPECT_EQ(TRunMode::InstallAndRun, Mode({"-Run"}));
}

TEST(RunMode, AnythingElseIsTheInteractiveRun) {
  EXPECT_EQ(TRunMode::Interactive, Mode({}));
  EXPECT_EQ(TRunMode::Interactive, Mode({"-auto"}));
  EXPECT_EQ(TRunMode::Interactive, Mode({"/INSTALL"}));
  EXPECT_EQ(TRunMode::Interactive, Mode({"INSTALL"}));
  EXPECT_EQ(TRunMode::Interactive, Mode({"-INSTALLX"}));
  EXPECT_EQ(TRunMode::Interactive, Mode({" -INSTALL"}));
  EXPECT_EQ(TRunMode::Interactive, Mode({""}));
  // Only a to z change case: a dotless or accented letter never matches.
  EXPECT_EQ(TRunMode::Interactive, Mode({"-\xC9NSTALL"}));
}

TEST(RunMode, OnlyTheFirstArgumentCounts) {
  EXPECT_EQ(TRunMode::Install, Mode({"-INSTALL", "-UNINSTALL"}));
  EXPECT_EQ(TRunMode::Interactive, Mode({"-auto", "-INSTALL"}));
}

TEST(RunMode, ServiceStartOutranksTheArguments) {
  EXPECT_EQ(TRunMode::ServiceProcess, Mode({}, true));
  EXPECT_EQ(TRunMode::ServiceProcess, Mode({"-INSTALL"}, true));
}

// Installers start commands hidden (show-window 0) to read their lines.
TEST(RunMode, GetPhpEvenWhenStartedHiddenAndOnWindowsOnly) {
  EXPECT_EQ(TRunMode::GetPhp, Mode({"-GETPHP"}));
  EXPECT_EQ(TRunMode::GetPhp, Mode({"-getphp", "more"}));
  EXPECT_EQ(TRunMode::GetPhp, Mode({"-GetPhp"}, true));
  EXPECT_EQ(TRunMode::Interactive, Mode({"/GETPHP"}));
  EXPECT_EQ(TRunMode::Interactive, SelectLinuxRunMode({"-GETPHP"}));
}

// The list switches belong to the Linux program alone: the Windows decision
// takes them for the interactive run, as it takes any other argument.
TEST(RunMode, ListSwitchesOnLinuxOnly) {
  const std::vector<std::pair<std::string, TRunMode>> cases = {
      {"--share", TRunMode::ShareDirs}, {"--unshare", TRunMode::UnshareDirs}, {"--shares", TRunMode::ListShares},
      {"--access", TRunMode::Access}};
  for (const auto& [flag, linuxMode] : cases) {
    EXPECT_EQ(TRunMode::Interactive, Mode({flag, "/srv"})) << flag;
    EXPECT_EQ(TRunMode::ServiceProcess, Mode({flag}, true)) << flag;
    EXPECT_EQ(linuxMode, SelectLinuxRunMode({flag, "/srv"})) << flag;
  }
  // Exactly so, and only as the first argument; the rest as on Windows.
  EXPECT_EQ(TRunMode::Interactive, SelectLinuxRunMode({"--SHARE", "/srv"}));
  EXPECT_EQ(TRunMode::Interactive, SelectLinuxRunMode({"-auto", "--share", "/srv"}));
  EXPECT_EQ(TRunMode::Install, SelectLinuxRunMode({"-install", "--share"}));
  EXPECT_EQ(TRunMode::Interactive, SelectLinuxRunMode({}));
}

// Each "--" argument ends the directories before it; one wrong switch stops them all.
TEST(RunMode, SwitchesCombine) {
  const std::vector<TSwitch> split = SplitSwitches({"--share", "~/Music", "/srv", "--shares", "--access", "code"});
  ASSERT_EQ(3u, split.size());
  EXPECT_EQ((std::vector<std::string>{"~/Music", "/srv"}), split[0].Args);
  EXPECT_TRUE(split[1].Args.empty());
  EXPECT_EQ("--access", split[2].Name);
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"--share"}, "--share needs at least one directory"},
      {{"--share", "/a", "--unshare"}, "--unshare needs at least one directory"},
      {{"--shares", "/a"}, "--shares takes no directory"},
      {{"--access", "closed"}, "--access takes one of open, code or approve"},
      {{"--access", "code", "approve"}, "--access takes one of open, code or approve"},
      {{"--share", "/a", "--sharez"}, "unknown switch \"--sharez\""},
  };
  for (const auto& [args, error] : refused) EXPECT_TRUE(CheckSwitches(SplitSwitches(args)).starts_with(error)) << error;
  EXPECT_EQ("", CheckSwitches(split));
  EXPECT_TRUE(SwitchesEnd(split));
  EXPECT_TRUE(SwitchesEnd(SplitSwitches({"--access"})));
  EXPECT_FALSE(SwitchesEnd(SplitSwitches({"--share", "/a", "--access", "approve"})));
}
