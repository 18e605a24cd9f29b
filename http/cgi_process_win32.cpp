// cgi_process_win32.cpp - the interpreter as a child process on Windows:
// started as every child is (sys/child_process_win32.h) with its standard
// handles on pipes. The server's ends are overlapped named pipes, so that a
// read, a write and the process itself can be waited on together instead of
// polled.
#include <windows.h>

#include <cstring>
#include <memory>
#include <utility>

#include "base/scoped_handle_win32.h"
#include "http/cgi_env.h"
#include "http/cgi_process.h"
#include "sys/child_process_win32.h"

namespace {

constexpr DWORD kPipeBuffer = 64 * 1024;
// How long an ended interpreter's last output may take to arrive.
constexpr DWORD kLastOutputMs = 100;

// One overlapped operation on a pipe end: its event, its buffer, whether it runs.
struct TPipeIo {
  TScopedHandle Pipe;
  TScopedHandle Event{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  OVERLAPPED Overlapped{};
  std::unique_ptr<char[]> Buffer;
  bool Pending = false;
  bool Closed = false;

  explicit TPipeIo(DWORD size) : Buffer(new char[size]) {}
  ~TPipeIo() { Cancel(); }
  TPipeIo(const TPipeIo&) = delete;
  TPipeIo& operator=(const TPipeIo&) = delete;

  void Prepare() {
    std::memset(&Overlapped, 0, sizeof Overlapped);
    Overlapped.hEvent = Event.Get();
  }
  // The buffer must outlive a pending operation: cancel it and wait for it.
  void Cancel() {
    if (Pending && Pipe.Valid()) {
      CancelIoEx(Pipe.Get(), &Overlapped);
      DWORD ignored;
      GetOverlappedResult(Pipe.Get(), &Overlapped, &ignored, TRUE);
    }
    Pending = false;
  }
  void Close() {
    Cancel();
    Pipe.Close();
    Closed = true;
  }
  // Collects the pending operation: 1 done (done holds its count), 0 still
  // running, -1 failed, and the pipe is then closed.
  int Collect(DWORD& done) {
    if (!GetOverlappedResult(Pipe.Get(), &Overlapped, &done, FALSE)) {
      if (GetLastError() == ERROR_IO_INCOMPLETE) return 0;
      Pending = false;
      Close();
      return -1;
    }
    Pending = false;
    return 1;
  }
};

// A pipe whose server end is overlapped and private to this process, and whose
// child end is an ordinary handle, not yet inheritable.
bool MakePipe(bool serverReads, TScopedHandle& serverEnd, TScopedHandle& childEnd) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    LARGE_INTEGER tick;
    QueryPerformanceCounter(&tick);
    char name[128];
    wsprintfA(name, "\\\\.\\pipe\\ostrel-cgi-%lu-%lu-%lx%08lx-%d", GetCurrentProcessId(), GetCurrentThreadId(),
              static_cast<unsigned long>(tick.HighPart), static_cast<unsigned long>(tick.LowPart), attempt);
    const DWORD access = (serverReads ? PIPE_ACCESS_INBOUND : PIPE_ACCESS_OUTBOUND) | FILE_FLAG_OVERLAPPED |
                         FILE_FLAG_FIRST_PIPE_INSTANCE;
    TScopedHandle server(CreateNamedPipeA(name, access, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, kPipeBuffer,
                                    kPipeBuffer, 0, nullptr));
    if (!server.Valid()) continue;  // the name was taken: try another
    // The rights CreatePipe gives its ends, so the child sees what it expects.
    const DWORD rights = serverReads ? GENERIC_WRITE | FILE_READ_ATTRIBUTES : GENERIC_READ | FILE_WRITE_ATTRIBUTES;
    TScopedHandle child(CreateFileA(name, rights, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!child.Valid()) return false;
    serverEnd = std::move(server);
    childEnd = std::move(child);
    return true;
  }
  return false;
}

}  // namespace

struct TCgiProcess::TImpl {
  TScopedHandle Process;
  TPipeIo Output{kPipeBuffer};  // pipe B's server end, read
  TPipeIo Input{kCgiInputBlock};  // pipe A's server end, written
  DWORD OutputHave = 0;  // bytes of the last completed read not yet handed out
  DWORD OutputTaken = 0;
  bool HasEnded = false;
  bool AwaitedLastOutput = false;

  // Starts the next read; false when the pipe has closed.
  bool IssueRead() {
    Output.Prepare();
    OutputHave = OutputTaken = 0;
    if (ReadFile(Output.Pipe.Get(), Output.Buffer.get(), kPipeBuffer, nullptr, &Output.Overlapped)) {
      Output.Pending = true;  // done at once; the result is collected below
      return true;
    }
    if (GetLastError() == ERROR_IO_PENDING) {
      Output.Pending = true;
      return true;
    }
    Output.Close();
    return false;
  }

  // Collects a finished read: 1 data waiting, 0 still running, -1 closed.
  int CollectRead() {
    DWORD got = 0;
    const int state = Output.Collect(got);
    if (state != 1) return state;
    OutputHave = got;
    OutputTaken = 0;
    return 1;
  }
};

TCgiProcess::TCgiProcess() : F(std::make_unique<TImpl>()) {}

TCgiProcess::~TCgiProcess() { Finish(); }

bool TCgiProcess::Start(const std::string& program, const std::vector<std::string>& environment,
                        const std::string& dir) {
  TScopedHandle childIn, childOut;
  if (!MakePipe(false, F->Input.Pipe, childIn) || !MakePipe(true, F->Output.Pipe, childOut)) return false;
  if (!F->Input.Event.Valid() || !F->Output.Event.Valid()) return false;

  TChildPlan plan;
  plan.CommandLine = program;
  plan.Input = childIn.Get();
  plan.Output = plan.Error = childOut.Get();
  plan.Environment = &environment;
  plan.Dir = dir;
  TChild child;
  const bool started = StartChild(plan, child);
  childIn.Close();  // only the child holds them now: its end shows as a broken pipe
  childOut.Close();
  if (!started) return false;
  F->Process = std::move(child.Process);
  return true;
}

int TCgiProcess::ReadOutput(char* buffer, int n) {
  for (;;) {
    if (F->OutputTaken < F->OutputHave) {
      DWORD take = F->OutputHave - F->OutputTaken;
      if (take > static_cast<DWORD>(n)) take = static_cast<DWORD>(n);
      std::memcpy(buffer, F->Output.Buffer.get() + F->OutputTaken, take);
      F->OutputTaken += take;
      return static_cast<int>(take);
    }
    if (F->Output.Closed) return -1;
    if (!F->Output.Pending) {
      if (!F->IssueRead()) return -1;
    }
    int state = F->CollectRead();
    if (state < 0) return -1;
    if (state > 0) {
      if (F->OutputHave == 0 && !F->IssueRead()) return -1;  // an empty write: read on
      continue;
    }
    // An ended interpreter's last bytes may still be on their way to the read.
    if (F->HasEnded && !F->AwaitedLastOutput) {
      F->AwaitedLastOutput = true;
      if (WaitForSingleObject(F->Output.Event.Get(), kLastOutputMs) == WAIT_OBJECT_0) continue;
    }
    return 0;
  }
}

int TCgiProcess::WriteInput(const char* block, int n) {
  TPipeIo& in = F->Input;
  if (in.Closed) return -1;
  if (in.Pending) {
    DWORD put = 0;
    const int state = in.Collect(put);
    if (state != 1) return state;
  }
  std::memcpy(in.Buffer.get(), block, static_cast<std::size_t>(n));
  in.Prepare();
  if (!WriteFile(in.Pipe.Get(), in.Buffer.get(), static_cast<DWORD>(n), nullptr, &in.Overlapped) &&
      GetLastError() != ERROR_IO_PENDING) {
    in.Close();  // the page closed its input or ended
    return -1;
  }
  in.Pending = true;
  return n;
}

bool TCgiProcess::Ended() {
  if (F->HasEnded || !F->Process.Valid()) return true;
  // A wait that fails counts as an end: nothing more can be learnt of it.
  DWORD r = WaitForSingleObject(F->Process.Get(), 0);
  F->HasEnded = r == WAIT_OBJECT_0 || r == WAIT_FAILED;
  return F->HasEnded;
}

bool TCgiProcess::Failed() {
  DWORD code = 0;
  return F->Process.Valid() && GetExitCodeProcess(F->Process.Get(), &code) && code != 0 && code != STILL_ACTIVE;
}

void TCgiProcess::PrepareWait(TIdWaitList& waits, bool wantInput, int&) {
  if (F->Output.Pending) waits.Add(F->Output.Event.Get());
  if (wantInput && F->Input.Pending) waits.Add(F->Input.Event.Get());
  if (!F->HasEnded && F->Process.Valid()) waits.Add(F->Process.Get());
}

void TCgiProcess::Waited(bool) {}

// The input closes, so that a page cut off while it reads its body ends by
// itself and removes its temporary files; its output is read and dropped
// meanwhile, so that a full pipe cannot stop it first.
bool TCgiProcess::EndsWithinGrace() {
  F->Input.Close();
  const ULONGLONG deadline = GetTickCount64() + kCgiEndGraceMs;
  char sink[4096];
  while (!Ended()) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    while (ReadOutput(sink, sizeof sink) > 0) {
    }
    HANDLE handles[2] = {F->Process.Get(), F->Output.Event.Get()};
    const DWORD count = F->Output.Pending ? 2 : 1;
    WaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(deadline - now));
  }
  return true;
}

void TCgiProcess::Finish() {
  if (F->Process.Valid()) {
    if (!Ended() && !EndsWithinGrace()) TerminateProcess(F->Process.Get(), 0);
    F->Process.Close();
    F->HasEnded = true;
  }
  F->Output.Close();
  F->Input.Close();
}

std::vector<std::string> InterpreterEnvironment(std::vector<std::string> variables, const std::string& phpDir) {
  // The interpreter also inherits the server's own environment (SystemRoot,
  // TEMP, PATH...), without any variable of the table that this run did not set.
  std::vector<std::string> env = std::move(variables);
  // The written php.ini, whatever PHPRC the user's environment names for
  // another PHP, and the user's own settings in php\conf.d.
  env.push_back("PHPRC=" + phpDir);
  env.push_back("PHP_INI_SCAN_DIR=" + phpDir + "\\conf.d");
  char* inherited = GetEnvironmentStringsA();
  if (inherited == nullptr) return env;
  for (const char* p = inherited; *p != '\0'; p += std::strlen(p) + 1) {
    const char* eq = std::strchr(p + 1, '=');  // "=C:=C:\..." entries name a drive
    std::string name = eq == nullptr ? std::string(p) : std::string(p, eq);
    const bool ours = cgi_env::IsCgiName(name) || lstrcmpiA(name.c_str(), "PHPRC") == 0 ||
                      lstrcmpiA(name.c_str(), "PHP_INI_SCAN_DIR") == 0;
    if (!ours) env.emplace_back(p);
  }
  FreeEnvironmentStringsA(inherited);
  return env;
}
