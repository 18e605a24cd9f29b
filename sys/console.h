// console.h - running a console command hidden and capturing what it writes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Where the system's programs live, without a trailing delimiter.
std::string GetSystemDir();

// console::Run with the real system directory.
std::string RunConsoleCommand(const std::string& commandLine, bool throughInterpreter);

namespace console {

// Runs commandLine and returns the bytes it wrote to its standard output and
// standard error, in the order they arrived, unconverted. Through the
// interpreter, the command interpreter is looked for in systemDir ("cmd.exe"
// on Windows, "sh" elsewhere): when it is not there nothing runs. Returns ""
// when nothing could be run. Waits until the command itself has ended and its
// output is drained; programs it left running are not waited for.
std::string Run(const std::string& commandLine, bool throughInterpreter, const std::string& systemDir);

// What a program that may never end, or never stop writing, is held to.
struct TBounds {
  int LimitMs;            // ended when still running after this long
  std::size_t OutputCap;  // only the first bytes of its output are kept
};

// Runs program with arguments (which hold no blanks or quotes) as Run does,
// but with standard input empty and within bounds. True when the program
// ended within the time limit; either way it is gone and every handle released
// on return. exitCode, when given, receives the program's exit code when it
// ended within the limit (on Linux 128 + the signal when a signal ended it): a
// Windows program that cannot start because a DLL is missing ends with
// 0xC0000135.
bool RunBounded(const std::string& program, const std::vector<std::string>& arguments, const TBounds& bounds,
                std::string& output, std::uint32_t* exitCode = nullptr);

}  // namespace console
