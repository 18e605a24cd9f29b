// console_win32.cpp - console commands run hidden on Windows, their standard
// output and standard error captured through one anonymous pipe.
#include <windows.h>

#include <memory>
#include <utility>

#include "base/deadline.h"
#include "base/scoped_handle_win32.h"
#include "sys/ostrel_system.h"
#include "sys/console.h"

namespace {

// How long the relay waits on the child while the pipe is empty: short enough
// that the output keeps flowing, long enough that no core is kept busy.
constexpr int kIdleWaitMs = 10;
// A terminated program is gone within moments; this bounds the wait for it.
constexpr DWORD kTerminateWaitMs = 2000;

enum class TPipeState { Data, Empty, Closed };

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Appends the bytes waiting in the pipe at this moment, no more, without
// blocking. Closed: nothing waits and no process holds the write end any more.
TPipeState ReadWaiting(HANDLE pipe, std::string& output) {
  DWORD waiting = 0;
  if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) return TPipeState::Closed;
  if (waiting == 0) return TPipeState::Empty;
  std::size_t had = output.size();
  output.resize(had + waiting);
  DWORD total = 0, got = 0;
  while (total < waiting && ReadFile(pipe, &output[had + total], waiting - total, &got, nullptr) && got > 0)
    total += got;
  output.resize(had + total);
  return TPipeState::Data;
}

// Keeps the first cap bytes, so that a child that never stops writing cannot
// fill the memory.
void Keep(std::string& output, std::size_t cap) {
  if (output.size() > cap) output.resize(cap);
}

// Waits for the child to end, ending it at the deadline. True when it ended by
// itself.
bool AwaitEnd(HANDLE process, const TDeadline& deadline) {
  if (WaitForSingleObject(process, static_cast<DWORD>(deadline.Clip(-1))) == WAIT_OBJECT_0) return true;
  TerminateProcess(process, 1);
  WaitForSingleObject(process, kTerminateWaitMs);
  return false;
}

// Reads until the child has ended and the pipe is drained. Programs that the
// child started may still hold the write end (and go on writing), so the
// child's end, not the pipe's, ends the relay: what waits then is the last read.
bool Relay(HANDLE pipe, HANDLE process, const console::TBounds& bounds, std::string& output) {
  const TDeadline deadline = TDeadline::In(bounds.LimitMs);
  for (;;) {
    TPipeState state = ReadWaiting(pipe, output);
    Keep(output, bounds.OutputCap);
    if (state == TPipeState::Closed) break;
    DWORD waited = WaitForSingleObject(process, static_cast<DWORD>(deadline.Clip(state == TPipeState::Data ? 0 : kIdleWaitMs)));
    if (waited == WAIT_FAILED) return false;
    if (waited == WAIT_OBJECT_0) {
      ReadWaiting(pipe, output);
      Keep(output, bounds.OutputCap);
      return true;
    }
    if (deadline.Passed()) break;
  }
  return AwaitEnd(process, deadline);
}

// Hidden, the output to the pipe; input the given handle, or this program's.
STARTUPINFOA HiddenStartup(HANDLE input, HANDLE output) {
  STARTUPINFOA own{};
  GetStartupInfoA(&own);
  STARTUPINFOA si = own;
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  si.hStdOutput = output;
  si.hStdError = output;
  // Without that flag the field is not a handle (it may hold a hot key).
  if (input != nullptr) si.hStdInput = input;
  else if ((own.dwFlags & STARTF_USESTDHANDLES) == 0) si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  // The C runtime's table of inherited descriptors would override the pipe in
  // the child: it describes this program's parent, not this child.
  si.cbReserved2 = 0;
  si.lpReserved2 = nullptr;
  return si;
}

// Starts commandLine with one pipe for its output and relays it within bounds.
bool Capture(std::string commandLine, bool emptyInput, const console::TBounds& bounds, std::string& output,
             std::uint32_t* exitCode = nullptr) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  TScopedHandle readEnd, writeEnd, input;
  if (!CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inheritable, 0)) return false;
  // Only the write end is the child's business.
  SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
  if (emptyInput) {
    input = TScopedHandle(
        CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr));
    if (!input.Valid()) return false;
  }

  STARTUPINFOA si = HiddenStartup(input.Get(), writeEnd.Get());
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &si, &pi))
    return false;
  TScopedHandle process(pi.hProcess), thread(pi.hThread);
  // Once the child and whatever it started have let go, the pipe reports its end.
  writeEnd.Close();
  input.Close();
  if (!Relay(readEnd.Get(), process.Get(), bounds, output)) return false;
  DWORD code = 0;
  if (exitCode != nullptr && GetExitCodeProcess(process.Get(), &code)) *exitCode = code;
  return true;
}

// A console command runs as long as it takes and all its output is kept.
std::string CaptureAll(const std::string& commandLine) {
  std::string output;
  Capture(commandLine, false, {-1, std::string::npos}, output);
  return output;
}

}  // namespace

namespace console {

std::string Run(const std::string& commandLine, bool throughInterpreter, const std::string& systemDir) {
  if (!throughInterpreter) return CaptureAll(commandLine);
  std::string interpreter = systemDir + "\\cmd.exe";
  if (!FileExists(interpreter)) return std::string();
  return CaptureAll(interpreter + " /c " + commandLine);
}

bool RunBounded(const std::string& program, const std::vector<std::string>& arguments, const TBounds& bounds,
                std::string& output, std::uint32_t* exitCode) {
  std::string commandLine = "\"" + program + "\"";
  for (const std::string& argument : arguments) commandLine += " " + argument;
  return Capture(commandLine, true, bounds, output, exitCode);
}

}  // namespace console

std::string TOstrelSystem::GetSystemDir() {
  char dir[260] = {};
  GetSystemDirectoryA(dir, sizeof dir);
  return dir;
}

std::string TOstrelSystem::RunConsoleCommand(const std::string& commandLine, bool throughInterpreter) {
  return console::Run(commandLine, throughInterpreter, GetSystemDir());
}
