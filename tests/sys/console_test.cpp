// console_test.cpp - RunConsoleCommand against a real child process.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>

#include "base/scoped_handle_win32.h"
#endif

#include "base/program_env.h"
#include "support/cpu_time.h"
#include "support/temp_dir.h"
#include "sys/console.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string ChildPath() {
  std::string exe = GetExePath();
  return exe.substr(0, exe.rfind(PathDelim()) + 1) + "console_child";
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
  EXPECT_EQ(RunConsoleCommand(Child("out:one err:two out:three err:four"), false), "onetwothreefour");
  EXPECT_EQ(RunConsoleCommand(Child("\"out:a  b\" err:c"), false), "a  bc");
  // The exit code does not matter: what was written is returned.
  EXPECT_EQ(RunConsoleCommand(Child("out:partial exit:3"), false), "partial");
  EXPECT_EQ(RunConsoleCommand(Child(""), false), "");
}

TEST(RunConsoleCommand, LongOutputArrivesCompleteAndInOrder) {
  std::string expected;
  for (int n = 0; n < 20000; ++n) expected += std::to_string(n) + "\n";  // more than a pipe holds
  std::string got = RunConsoleCommand(Child("lines:20000"), false);
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
}

TEST(RunConsoleCommand, NothingStartableGivesEmptyOutput) {
  EXPECT_EQ(RunConsoleCommand("no_such_program_ostrel_8d1f", false), "");
  EXPECT_EQ(RunConsoleCommand("", false), "");
}

TEST(RunConsoleCommand, ThroughTheInterpreter) {
  EXPECT_EQ(RunConsoleCommand(Child("out:a err:b"), true), "ab");
  EXPECT_EQ(RunConsoleCommand("echo hello", true).substr(0, 5), "hello");
}

TEST(RunConsoleCommand, MissingInterpreterStartsNothing) {
  TTempDir emptySystemDir, work;
  std::string marker = work.At("marker");
  std::string command = "echo x > \"" + marker + "\"";
  EXPECT_EQ(console::Run(command, true, emptySystemDir.Path()), "");
  EXPECT_FALSE(fs::exists(marker));
  // The same command with the real interpreter does leave the marker.
  console::Run(command, true, GetSystemDir());
  EXPECT_TRUE(fs::exists(marker));
}

TEST(RunConsoleCommand, WaitingForTheChildKeepsNoCoreBusy) {
  double cpuBefore = ProcessCpuSeconds();
  Clock::time_point start = Clock::now();
  EXPECT_EQ(RunConsoleCommand(Child("out:a sleep:1500 out:b"), false), "ab");
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
  EXPECT_EQ(RunConsoleCommand(Child("out:a spawn:30000 out:b"), false), "ab");
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

// Whether the process with that id has ended, within timeoutMs.
bool ProcessGone(long pid, int timeoutMs) {
#ifdef _WIN32
  TScopedHandle process(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid)));
  return !process.Valid() || WaitForSingleObject(process.Get(), static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
#else
  for (int waited = 0;; waited += 20) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    // Gone, or a zombie that its new parent has yet to reap.
    if (!std::getline(stat, line) || line.compare(line.rfind(')'), 3, ") Z") == 0) return true;
    if (waited >= timeoutMs) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
#endif
}

// The interpreter check may meet a wrapper that starts the real program: what
// the program started ends with the run, whether the program ended in time or
// was ended at the limit.
TEST(RunBounded, EndsWhatItsProgramStartedToo) {
  for (const char* last : {"sleep:60000", "exit:0"}) {
    std::string out;
    console::RunBounded(ChildPath(), {"spawnpid:60000", last}, {1000, 4096}, out);
    ASSERT_EQ(out.rfind("pid:", 0), 0u) << out;
    const long pid = std::atol(out.c_str() + 4);
    ASSERT_GT(pid, 0) << out;
    EXPECT_TRUE(ProcessGone(pid, 5000)) << "the program's own child outlived the run ending in " << last;
  }
}

}  // namespace
