// interpreter_check_win32.cpp - the -v run on Windows: CreateProcessA without a
// window, standard input on NUL and one anonymous pipe for output and errors,
// bounded in time.
#include <windows.h>

#include <algorithm>

#include "base/scoped_handle_win32.h"
#include "http/interpreter_check.h"

namespace {

constexpr std::size_t kOutputCap = 64 * 1024;
// How long to wait on the program between looks at the pipe.
constexpr DWORD kIdleWaitMs = 10;
// A terminated program is gone within moments; this bounds the wait for it.
constexpr DWORD kTerminateWaitMs = 2000;

DWORD MsLeft(ULONGLONG deadline) {
  ULONGLONG now = GetTickCount64();
  return now < deadline ? static_cast<DWORD>(deadline - now) : 0;
}

// Appends what waits in the pipe without blocking; false once the pipe has
// ended (nothing waits and no process holds the write end).
bool ReadWaiting(HANDLE pipe, std::string& output) {
  DWORD waiting = 0;
  if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) return false;
  char buffer[4096];
  while (waiting > 0) {
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, std::min<DWORD>(waiting, sizeof buffer), &got, nullptr) || got == 0) return false;
    output.append(buffer, std::min<std::size_t>(got, kOutputCap - std::min(kOutputCap, output.size())));
    waiting -= got;
  }
  return true;
}

// Start runs while no page is being started, so the two standard handles are
// the only inheritable ones the program can get.
bool Launch(std::string commandLine, HANDLE input, HANDLE output, PROCESS_INFORMATION& pi) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  si.hStdInput = input;
  si.hStdOutput = output;
  si.hStdError = output;
  return CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &si, &pi) != 0;
}

}  // namespace

bool RunVersionQuery(const std::string& program, int limitMs, std::string& output) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(limitMs);
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  TScopedHandle readEnd, writeEnd;
  if (!CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inheritable, 0)) return false;
  SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
  TScopedHandle input(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                  OPEN_EXISTING, 0, nullptr));
  if (!input.Valid()) return false;

  PROCESS_INFORMATION pi{};
  if (!Launch("\"" + program + "\" -v", input.Get(), writeEnd.Get(), pi)) return false;
  TScopedHandle process(pi.hProcess), thread(pi.hThread);
  writeEnd.Close();  // the program's copy is the only writer now
  input.Close();

  for (;;) {
    bool open = ReadWaiting(readEnd.Get(), output);
    DWORD left = MsLeft(deadline);
    DWORD waited = WaitForSingleObject(process.Get(), open ? std::min(kIdleWaitMs, left) : left);
    if (waited == WAIT_OBJECT_0) {
      ReadWaiting(readEnd.Get(), output);
      return true;
    }
    if (waited != WAIT_TIMEOUT || left == 0) break;
  }
  TerminateProcess(process.Get(), 1);
  WaitForSingleObject(process.Get(), kTerminateWaitMs);
  return false;
}
