// console_test.cpp - RunConsoleCommand against a real child process.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "http/ostrel.h"
#include "support/cpu_time.h"
#include "support/temp_dir.h"
#include "sys/console.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string ChildPath() {
  std::string exe = TOstrel::GetExePath();
  return exe.substr(0, exe.rfind(TOstrel::PathDelim()) + 1) + "console_child";
}

// A command line running the test child with the given steps.
// Appended piece by piece: "\"" + a temporary gives GCC 12 at -O3 a false -Wrestrict.
std::string Child(const std::string& steps) {
  std::string line = "\"";
  line += ChildPath();
  line += "\" ";
  return line + steps;
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(RunConsoleCommand, CapturesStandardOutputAndErrorInOrder) {
  EXPECT_EQ(TOstrel::RunConsoleCommand(Child("out:one err:two out:three err:four"), false), "onetwothreefour");
  EXPECT_EQ(TOstrel::RunConsoleCommand(Child("\"out:a  b\" err:c"), false), "a  bc");
  // The exit code does not matter: what was written is returned.
  EXPECT_EQ(TOstrel::RunConsoleCommand(Child("out:partial exit:3"), false), "partial");
  EXPECT_EQ(TOstrel::RunConsoleCommand(Child(""), false), "");
}

TEST(RunConsoleCommand, LongOutputArrivesCompleteAndInOrder) {
  std::string expected;
  for (int n = 0; n < 20000; ++n) expected += std::to_string(n) + "\n";  // more than a pipe holds
  std::string got = TOstrel::RunConsoleCommand(Child("lines:20000"), false);
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
}

TEST(RunConsoleCommand, NothingStartableGivesEmptyOutput) {
  EXPECT_EQ(TOstrel::RunConsoleCommand("no_such_program_ostrel_8d1f", false), "");
  EXPECT_EQ(TOstrel::RunConsoleCommand("", false), "");
}

TEST(RunConsoleCommand, ThroughTheInterpreter) {
  EXPECT_EQ(TOstrel::RunConsoleCommand(Child("out:a err:b"), true), "ab");
  EXPECT_EQ(TOstrel::RunConsoleCommand("echo hello", true).substr(0, 5), "hello");
}

TEST(RunConsoleCommand, MissingInterpreterStartsNothing) {
  TTempDir emptySystemDir, work;
  std::string marker = work.At("marker");
  std::string command = "echo x > \"" + marker + "\"";
  EXPECT_EQ(console::Run(command, true, emptySystemDir.Path()), "");
  EXPECT_FALSE(fs::exists(marker));
  // The same command with the real interpreter does leave the marker.
  console::Run(command, true, TOstrel::GetSystemDir());
  EXPECT_TRUE(fs::exists(marker));
}

TEST(RunConsoleCommand, WaitingForTheChildKeepsNoCoreBusy) {
  double cpuBefore = ProcessCpuSeconds();
  Clock::time_point start = Clock::now();
  EXPECT_EQ(TOstrel::RunConsoleCommand(Child("out:a sleep:1500 out:b"), false), "ab");
  EXPECT_GE(SecondsSince(start), 1.4);
  // Waiting uses about 0.01 s; polling without pause used 0.2 s and more even
  // on a loaded machine.
  EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 0.1);
}

TEST(RunConsoleCommand, ProgramsLeftRunningByTheCommandAreNotWaitedFor) {
  Clock::time_point start = Clock::now();
  // The child's own child keeps the output pipe open for 30 s after the child
  // ends: far longer than a run that does not wait for it takes, however
  // loaded the machine.
  EXPECT_EQ(TOstrel::RunConsoleCommand(Child("out:a spawn:30000 out:b"), false), "ab");
  EXPECT_LT(SecondsSince(start), 15.0);
}

// A program that may never end: one that ends in time says so, one that writes
// on and on keeps only the first bytes and is ended at the limit.
TEST(RunBounded, EndsAtTheLimitAndKeepsOnlyTheFirstBytes) {
  std::string out;
  EXPECT_TRUE(console::RunBounded(ChildPath(), {"out:a", "err:b"}, {60000, 100}, out));
  EXPECT_EQ(out, "ab");
  // The exit code tells a program that could not start (a DLL missing) from one that ran.
  std::uint32_t code = 0;
  EXPECT_TRUE(console::RunBounded(ChildPath(), {"exit:42"}, {60000, 100}, out, &code));
  EXPECT_EQ(code, 42u);
  out.clear();
  Clock::time_point start = Clock::now();
  EXPECT_FALSE(console::RunBounded(ChildPath(), {"lines:2000000000"}, {1000, 1000}, out));
  EXPECT_EQ(out.size(), 1000u);
  EXPECT_EQ(out.substr(0, 8), "0\n1\n2\n3\n");
  EXPECT_LT(SecondsSince(start), 30.0);
}

}  // namespace
