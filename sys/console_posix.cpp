// console_posix.cpp - console commands on Linux: started with one pipe for
// standard output and standard error, through "sh -c" when asked.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

#include "base/deadline.h"
#include "base/scoped_fd_posix.h"
#include "base/text.h"
#include "sys/child_process_posix.h"
#include "sys/console.h"

namespace {

// Without a process descriptor to wait on, the relay looks at the child this
// often while the pipe is silent.
constexpr int kIdleWaitMs = 10;

enum class TPipeState { Data, Empty, Closed };

// Appends the bytes waiting in the pipe at this moment, no more, so that a
// writer that never pauses cannot keep the caller here. Closed: the pipe is at
// its end.
TPipeState ReadWaiting(int fd, std::string& output) {
  int waiting = 0;
  if (::ioctl(fd, FIONREAD, &waiting) != 0) return TPipeState::Closed;
  // Nothing waiting may also mean the end: read() tells which.
  std::size_t want = waiting > 0 ? static_cast<std::size_t>(waiting) : 1, had = output.size(), total = 0;
  output.resize(had + want);
  ssize_t got = 0;
  while (total < want) {
    got = ::read(fd, &output[had + total], want - total);
    if (got > 0) total += static_cast<std::size_t>(got);
    else if (got == 0 || errno != EINTR) break;
  }
  output.resize(had + total);
  if (total > 0) return TPipeState::Data;
  return got < 0 && errno == EAGAIN ? TPipeState::Empty : TPipeState::Closed;
}

// True once the child has ended, which then stays unreaped until Reap: its id,
// and so its process group's, cannot go to another process meanwhile. wait:
// block until then.
bool HasEnded(pid_t pid, bool wait) {
  siginfo_t info{};
  for (;;) {
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT | (wait ? 0 : WNOHANG)) == 0)
      return info.si_pid == pid;
    if (errno != EINTR) return true;  // ECHILD: nothing of it is left to wait for
  }
}

// Reaps the ended child; its wait status goes to status (which stays as it was
// when there was nothing left to reap).
void Reap(pid_t pid, int& status) {
  int own;
  for (;;) {
    if (::waitpid(pid, &own, 0) == pid) {
      status = own;
      return;
    }
    if (errno != EINTR) return;
  }
}

int OpenProcessFd(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

// Keeps the first cap bytes, so that a child that never stops writing cannot
// fill the memory.
void Keep(std::string& output, std::size_t cap) {
  if (output.size() > cap) output.resize(cap);
}

// Waits for the child to end, ending it at the deadline. True when it ended by
// itself.
bool AwaitEnd(pid_t pid, int processFd, const TDeadline& deadline) {
  while (!HasEnded(pid, !deadline.Limited())) {
    if (deadline.Passed()) {
      ::kill(pid, SIGKILL);
      return false;
    }
    pollfd wait{processFd, POLLIN, 0};  // without a process descriptor only a pause
    ::poll(&wait, 1, deadline.Clip(kIdleWaitMs));
  }
  return true;
}

// Reads until the child has ended and the pipe is drained. Programs that the
// child started may still hold the write end (and go on writing), so the
// child's end, not the pipe's, ends the relay: what waits then is the last read.
bool Relay(int pipe, pid_t pid, const console::TBounds& bounds, std::string& output) {
  TScopedFd process(OpenProcessFd(pid));
  const TDeadline deadline = TDeadline::In(bounds.LimitMs);
  pollfd waits[2] = {{pipe, POLLIN, 0}, {process.Get(), POLLIN, 0}};  // a negative descriptor is skipped
  for (;;) {
    int n = ::poll(waits, 2, deadline.Clip(process.Valid() ? -1 : kIdleWaitMs));
    if (n < 0 && errno != EINTR) break;
    const TPipeState state = ReadWaiting(pipe, output);
    Keep(output, bounds.OutputCap);
    if (state == TPipeState::Closed) break;
    if (HasEnded(pid, false)) {
      ReadWaiting(pipe, output);
      Keep(output, bounds.OutputCap);
      return true;
    }
    if (deadline.Passed()) break;
  }
  return AwaitEnd(pid, process.Get(), deadline);
}

// Starts args with one pipe for its standard output and error, and its input
// this process's own or, when emptyInput, none; relays the output within
// bounds. ownGroup: whatever the child started ends with it when the run does.
// exitCode, when given, receives the exit code of a child that ended in time.
bool Capture(const std::vector<std::string>& args, bool emptyInput, bool ownGroup, const console::TBounds& bounds,
             std::string& output, std::uint32_t* exitCode = nullptr) {
  int ends[2];
  if (args.empty() || ::pipe2(ends, O_CLOEXEC) != 0) return false;
  TScopedFd readEnd(ends[0]), writeEnd(ends[1]);
  TChildPlan plan;
  plan.Argv = args;
  plan.Input = emptyInput ? TChildPlan::kNull : TChildPlan::kOwn;
  plan.Output = plan.Error = writeEnd.Get();
  plan.OwnGroup = ownGroup;
  const pid_t pid = StartChild(plan);
  if (pid <= 0) return false;
  // Once the child and whatever it started have let go, read() reports the end.
  writeEnd.Close();
  ::fcntl(readEnd.Get(), F_SETFL, ::fcntl(readEnd.Get(), F_GETFL) | O_NONBLOCK);
  const bool ended = Relay(readEnd.Get(), pid, bounds, output);
  if (ownGroup) ::kill(-pid, SIGKILL);  // the group is still the child's: it is not reaped yet
  int status = 0;
  Reap(pid, status);
  if (ended && exitCode != nullptr)
    *exitCode = static_cast<std::uint32_t>(WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status));
  return ended;
}

// A console command runs as long as it takes and all its output is kept;
// programs it leaves running are its own business.
std::string CaptureAll(const std::vector<std::string>& args) {
  std::string output;
  Capture(args, false, false, {-1, std::string::npos}, output);
  return output;
}

}  // namespace

namespace console {

std::string Run(const std::string& commandLine, bool throughInterpreter, const std::string& systemDir) {
  if (!throughInterpreter) return CaptureAll(text::SplitCommandLine(commandLine));
  std::string interpreter = systemDir + "/sh";
  if (::access(interpreter.c_str(), X_OK) != 0) return std::string();
  return CaptureAll({interpreter, "-c", commandLine});
}

bool RunBounded(const std::string& program, const std::vector<std::string>& arguments, const TBounds& bounds,
                std::string& output, std::uint32_t* exitCode) {
  std::vector<std::string> args{program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  return Capture(args, true, true, bounds, output, exitCode);
}

}  // namespace console

std::string GetSystemDir() { return "/bin"; }

std::string RunConsoleCommand(const std::string& commandLine, bool throughInterpreter) {
  return console::Run(commandLine, throughInterpreter, GetSystemDir());
}
