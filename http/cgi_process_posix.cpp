// cgi_process_posix.cpp - the interpreter as a child process on Linux: started
// as every child is (sys/child_process_posix.h) with its input and output on
// pipes, whose ends join the relay's poll of the connection, and a look at the
// child whenever it may have ended.
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "base/scoped_fd_posix.h"
#include "http/cgi_process.h"
#include "sys/child_process_posix.h"

static_assert(kCgiInputBlock <= PIPE_BUF, "a block must reach a non-blocking pipe whole or not at all");

namespace {

bool MakePipe(TScopedFd& readEnd, TScopedFd& writeEnd) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  readEnd = TScopedFd(fds[0]);
  writeEnd = TScopedFd(fds[1]);
  return true;
}

// A fresh pipe end has no status flags to keep.
bool SetNonBlocking(const TScopedFd& fd) { return ::fcntl(fd.Get(), F_SETFL, O_NONBLOCK) == 0; }

}  // namespace

struct TCgiProcess::TImpl {
  TScopedFd OutRead;  // the server's end of the output pipe, non-blocking
  TScopedFd InWrite;  // the server's end of the input pipe, non-blocking
  pid_t Pid = -1;
  bool HasEnded = false;
  // Set by what an ending child causes (its output closing, its input
  // breaking) and by a quiet wait; asking costs a system call.
  bool MayHaveEnded = false;
  int EndBackoffMs = 1;  // waits once the output has closed but the child has not ended
  bool PipeWasEmptied = false;  // a short read took all that waited; until the next wait
  bool OutputClosed = false;
  bool InputClosed = false;
  bool Failure = false;  // it ended with an exit code other than 0, or by a signal

  bool Reaped();
};

TCgiProcess::TCgiProcess() : F(std::make_unique<TImpl>()) {}

TCgiProcess::~TCgiProcess() { Finish(); }

bool TCgiProcess::Start(const std::string& program, const std::vector<std::string>& environment,
                        const std::string& dir) {
  TScopedFd inRead, inWrite, outRead, outWrite;
  if (!MakePipe(inRead, inWrite) || !MakePipe(outRead, outWrite)) return false;
  if (!SetNonBlocking(inWrite) || !SetNonBlocking(outRead)) return false;

  TChildPlan plan;
  plan.Argv = {program};
  plan.Input = inRead.Get();
  plan.Output = plan.Error = outWrite.Get();
  plan.Environment = &environment;
  plan.Dir = dir;
  const pid_t pid = StartChild(plan);
  if (pid < 0) return false;
  F->Pid = pid;
  F->PipeWasEmptied = true;  // nothing can be there yet: the first look is the wait
  F->OutRead = std::move(outRead);
  F->InWrite = std::move(inWrite);
  return true;  // inRead and outWrite close here: only the child holds them now
}

int TCgiProcess::ReadOutput(char* buffer, int n) {
  if (F->OutputClosed) return -1;
  // A pipe read returns all that waits up to n: after a short one, asking
  // again before the next wait would only cost a system call.
  if (F->PipeWasEmptied) return 0;
  for (;;) {
    ssize_t got = ::read(F->OutRead.Get(), buffer, static_cast<std::size_t>(n));
    if (got > 0) {
      F->PipeWasEmptied = got < n;
      return static_cast<int>(got);
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    F->OutputClosed = F->MayHaveEnded = true;
    F->OutRead.Close();
    return -1;
  }
}

int TCgiProcess::WriteInput(const char* block, int n) {
  if (F->InputClosed) return -1;
  for (;;) {
    ssize_t put = ::write(F->InWrite.Get(), block, static_cast<std::size_t>(n));
    if (put == n) {
      F->PipeWasEmptied = false;  // fed input, the page may have answered
      return n;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    // EPIPE (SIGPIPE is ignored by the server): the page closed its input.
    F->InputClosed = F->MayHaveEnded = true;
    F->InWrite.Close();
    return -1;
  }
}

bool TCgiProcess::Ended() {
  if (F->HasEnded || F->Pid <= 0) return true;
  if (!F->MayHaveEnded) return false;
  F->MayHaveEnded = false;
  // Reaped here when it has ended; Finish then neither kills nor waits.
  if (F->Reaped()) F->HasEnded = true;
  // Whatever the child wrote before it ended must now be read to the end.
  if (F->HasEnded) F->PipeWasEmptied = false;
  return F->HasEnded;
}

bool TCgiProcess::Failed() { return F->Failure; }

void TCgiProcess::PrepareWait(TIdWaitList& waits, bool wantInput, int& timeoutMs) {
  if (!F->OutputClosed) waits.Add(F->OutRead.Get());
  if (wantInput && !F->InputClosed) waits.Add(F->InWrite.Get(), true);
  // A child that closed its output ends a moment later: look again soon, then
  // less and less often.
  if (F->OutputClosed && !F->HasEnded) {
    const int slice = timeoutMs;
    timeoutMs = std::min(slice, F->EndBackoffMs);
    F->EndBackoffMs = std::min(F->EndBackoffMs * 2, slice);
  }
  F->PipeWasEmptied = false;
}

// A quiet wait: the child may have ended while something else (a program it
// started) keeps its output open.
void TCgiProcess::Waited(bool quiet) {
  if (quiet) F->MayHaveEnded = true;
}

// Whether the child has ended, reaping it if so.
bool TCgiProcess::TImpl::Reaped() {
  siginfo_t info{};
  int r = ::waitid(P_PID, static_cast<id_t>(Pid), &info, WEXITED | WNOHANG);
  if (r == 0 && info.si_pid == Pid) {
    Failure = info.si_code != CLD_EXITED || info.si_status != 0;
    return true;
  }
  return r != 0 && errno == ECHILD;
}

// The child's input closes, so that a page cut off while it reads its body
// ends by itself and removes its temporary files; what it still writes is read
// and dropped, so that a full pipe or a closed one cannot stop it first.
bool TCgiProcess::EndsWithinGrace() {
  F->InWrite.Close();
  F->InputClosed = true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCgiEndGraceMs);
  char sink[4096];
  while (!F->Reaped()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    const int sliceMs = static_cast<int>(std::min<long long>(left, 5));
    pollfd p{F->OutRead.Get(), POLLIN, 0};  // a closed output (-1) only sleeps
    if (::poll(&p, 1, sliceMs) > 0 && !F->OutputClosed) {
      ssize_t got = ::read(F->OutRead.Get(), sink, sizeof sink);
      if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) {
        F->OutputClosed = true;
        F->OutRead.Close();
      }
    }
  }
  return true;
}

void TCgiProcess::Finish() {
  // A reaped child's id may belong to another process by now: only a child
  // not yet seen to end is ended and waited for.
  if (F->Pid > 0 && !F->HasEnded && !EndsWithinGrace()) {
    ::kill(F->Pid, SIGKILL);
    int status;
    while (::waitpid(F->Pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  F->Pid = -1;
  F->HasEnded = true;
  F->OutRead.Close();
  F->InWrite.Close();
  F->OutputClosed = F->InputClosed = true;
}

std::vector<std::string> InterpreterEnvironment(std::vector<std::string> variables,
                                                const std::string& phpDir) {
  std::vector<std::string> env = std::move(variables);
  // The system's php-cgi reads the written configuration, not the system's php.ini.
  env.push_back("PHPRC=" + phpDir);
  // The empty first entry stands for the interpreter's own scan directory
  // (Debian: /etc/php/<version>/cgi/conf.d), so the system's extension modules
  // load; the user's own settings in php/conf.d come after and win.
  env.push_back("PHP_INI_SCAN_DIR=:" + phpDir + "/conf.d");
  const char* path = std::getenv("PATH");
  env.push_back(std::string("PATH=") + (path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin"));
  if (const char* home = std::getenv("HOME")) env.push_back(std::string("HOME=") + home);
  return env;
}
