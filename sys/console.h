// console.h - running a console command hidden and capturing what it writes;
// TOstrel::RunConsoleCommand is this with the real system directory.
#pragma once
#include <string>

namespace console {

// Runs commandLine and returns the bytes it wrote to its standard output and
// standard error, in the order they arrived, unconverted. Through the
// interpreter, the command interpreter is looked for in systemDir ("cmd.exe"
// on Windows, "sh" elsewhere): when it is not there nothing runs. Returns ""
// when nothing could be run. Waits until the command itself has ended and its
// output is drained; programs it left running are not waited for.
std::string Run(const std::string& commandLine, bool throughInterpreter, const std::string& systemDir);

}  // namespace console
