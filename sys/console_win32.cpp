// console_win32.cpp - console commands run hidden on Windows, their standard
// output and standard error captured through one anonymous pipe.
#include <windows.h>

#include <memory>
#include <utility>

#include "base/deadline.h"
#include "base/native_fs.h"
#include "base/scoped_handle_win32.h"
#include "sys/child_process_win32.h"
#include "sys/console.h"

namespace {

// How long the relay waits on the child while the pipe is empty: short enough
// that the output keeps flowing, long enough that no core is kept busy.
constexpr int kIdleWaitMs = 10;
// A terminated program is gone within moments; this bounds the wait for it.
constexpr DWORD kTerminateWaitMs = 2000;

enum class TPipeState { Data, Empty, Closed };

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

// Starts commandLine with one pipe for its standard output and error, and its
// input this program's own or, when emptyInput, none; relays the output
// within bounds. ownJob: whatever the child started ends with it when the run
// does. exitCode, when given, receives the exit code of a child that ended in time.
bool Capture(const std::string& commandLine, bool emptyInput, bool ownJob, const console::TBounds& bounds,
             std::string& output, std::uint32_t* exitCode = nullptr) {
  TScopedHandle readEnd, writeEnd, input;
  if (!CreatePipe(readEnd.Receive(), writeEnd.Receive(), nullptr, 0)) return false;
  if (emptyInput) {
    input = TScopedHandle(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      0, nullptr));
    if (!input.Valid()) return false;
  }
  TChildPlan plan;
  plan.CommandLine = commandLine;
  plan.Input = input.Get();
  plan.Output = plan.Error = writeEnd.Get();
  plan.OwnJob = ownJob;
  TChild child;
  if (!StartChild(plan, child)) return false;
  // Once the child and whatever it started have let go, the pipe reports its end.
  writeEnd.Close();
  input.Close();
  const bool ended = Relay(readEnd.Get(), child.Process.Get(), bounds, output);
  child.Job.Close();  // ends what the child started, when it has a job
  DWORD code = 0;
  if (ended && exitCode != nullptr && GetExitCodeProcess(child.Process.Get(), &code)) *exitCode = code;
  return ended;
}

// A console command runs as long as it takes and all its output is kept.
std::string CaptureAll(const std::string& commandLine) {
  std::string output;
  Capture(commandLine, false, false, {-1, std::string::npos}, output);
  return output;
}

}  // namespace

namespace console {

std::string Run(const std::string& commandLine, bool throughInterpreter, const std::string& systemDir) {
  if (!throughInterpreter) return CaptureAll(commandLine);
  std::string interpreter = systemDir + "\\cmd.exe";
  if (!native_fs::FileExists(interpreter)) return std::string();
  return CaptureAll(interpreter + " /c " + commandLine);
}

bool RunBounded(const std::string& program, const std::vector<std::string>& arguments, const TBounds& bounds,
                std::string& output, std::uint32_t* exitCode) {
  std::string commandLine = "\"" + program + "\"";
  for (const std::string& argument : arguments) commandLine += " " + argument;
  return Capture(commandLine, true, true, bounds, output, exitCode);
}

}  // namespace console

std::string GetSystemDir() {
  char dir[260] = {};
  GetSystemDirectoryA(dir, sizeof dir);
  return dir;
}

std::string RunConsoleCommand(const std::string& commandLine, bool throughInterpreter) {
  return console::Run(commandLine, throughInterpreter, GetSystemDir());
}
