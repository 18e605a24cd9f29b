// console_win32.cpp - console commands run hidden on Windows, their standard
// output and standard error captured through one anonymous pipe.
#include <windows.h>

#include <memory>
#include <utility>

#include "base/scoped_handle_win32.h"
#include "sys/ostrel_system.h"
#include "sys/console.h"

namespace {

// How long the relay waits on the child while the pipe is empty: short enough
// that the output keeps flowing, long enough that no core is kept busy.
constexpr DWORD kIdleWaitMs = 10;

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

// Reads until the child has ended and the pipe is drained. Programs that the
// child started may still hold the write end (and go on writing), so the
// child's end, not the pipe's, ends the relay: what waits then is the last read.
void Relay(HANDLE pipe, HANDLE process, std::string& output) {
  for (;;) {
    TPipeState state = ReadWaiting(pipe, output);
    if (state == TPipeState::Closed) break;
    DWORD waited = WaitForSingleObject(process, state == TPipeState::Data ? 0 : kIdleWaitMs);
    if (waited == WAIT_FAILED) return;
    if (waited == WAIT_OBJECT_0) {
      ReadWaiting(pipe, output);
      return;
    }
  }
  WaitForSingleObject(process, INFINITE);
}

STARTUPINFOA HiddenStartup(HANDLE output) {
  STARTUPINFOA own{};
  GetStartupInfoA(&own);
  STARTUPINFOA si = own;
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  si.hStdOutput = output;
  si.hStdError = output;
  // Without that flag the field is not a handle (it may hold a hot key).
  if ((own.dwFlags & STARTF_USESTDHANDLES) == 0) si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  // The C runtime's table of inherited descriptors would override the pipe in
  // the child: it describes this program's parent, not this child.
  si.cbReserved2 = 0;
  si.lpReserved2 = nullptr;
  return si;
}

std::string Capture(std::string commandLine) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  TScopedHandle readEnd, writeEnd;
  if (!CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inheritable, 0)) return std::string();
  // Only the write end is the child's business.
  SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA si = HiddenStartup(writeEnd.Get());
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &si, &pi))
    return std::string();
  TScopedHandle process(pi.hProcess), thread(pi.hThread);
  // Once the child and whatever it started have let go, the pipe reports its end.
  writeEnd.Close();

  std::string output;
  Relay(readEnd.Get(), process.Get(), output);
  return output;
}

}  // namespace

namespace console {

std::string Run(const std::string& commandLine, bool throughInterpreter, const std::string& systemDir) {
  if (!throughInterpreter) return Capture(commandLine);
  std::string interpreter = systemDir + "\\cmd.exe";
  if (!FileExists(interpreter)) return std::string();
  return Capture(interpreter + " /c " + commandLine);
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
