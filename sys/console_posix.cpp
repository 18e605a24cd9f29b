// console_posix.cpp - console commands on Linux: spawned with one pipe for
// standard output and standard error, through "sh -c" when asked.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

#include "base/scoped_fd_posix.h"
#include "base/text.h"
#include "sys/ostrel_system.h"
#include "sys/console.h"
#include "sys/spawn_posix.h"

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

// True once the child has ended (and is reaped).
bool Reaped(pid_t pid, int flags) {
  int status;
  for (;;) {
    pid_t r = ::waitpid(pid, &status, flags);
    if (r == pid) return true;
    if (r == 0) return false;
    if (errno != EINTR) return true;  // ECHILD: reaped elsewhere
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

// Reads until the child has ended and the pipe is drained. Programs that the
// child started may still hold the write end (and go on writing), so the
// child's end, not the pipe's, ends the relay: what waits then is the last read.
void Relay(int pipe, pid_t pid, std::string& output) {
  TScopedFd process(OpenProcessFd(pid));
  pollfd waits[2] = {{pipe, POLLIN, 0}, {process.Get(), POLLIN, 0}};
  for (;;) {
    int n = ::poll(waits, process.Get() >= 0 ? 2 : 1, process.Get() >= 0 ? -1 : kIdleWaitMs);
    if (n < 0 && errno != EINTR) break;
    if (ReadWaiting(pipe, output) == TPipeState::Closed) break;
    if (Reaped(pid, WNOHANG)) {
      ReadWaiting(pipe, output);
      return;
    }
  }
  Reaped(pid, 0);
}

std::string Capture(const std::vector<std::string>& args) {
  if (args.empty()) return std::string();
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return std::string();
  TScopedFd readEnd(ends[0]), writeEnd(ends[1]);
  // dup2 onto itself would keep close-on-exec: keep the write end off 1 and 2.
  if (writeEnd.Get() <= STDERR_FILENO) writeEnd.Reset(::fcntl(writeEnd.Get(), F_DUPFD_CLOEXEC, 3));
  if (writeEnd.Get() < 0) return std::string();

  pid_t pid = SpawnWithOutput(args, writeEnd.Get(), true, false);
  if (pid <= 0) return std::string();
  // Once the child and whatever it started have let go, read() reports the end.
  writeEnd.Close();
  ::fcntl(readEnd.Get(), F_SETFL, ::fcntl(readEnd.Get(), F_GETFL) | O_NONBLOCK);

  std::string output;
  Relay(readEnd.Get(), pid, output);
  return output;
}

}  // namespace

namespace console {

std::string Run(const std::string& commandLine, bool throughInterpreter, const std::string& systemDir) {
  if (!throughInterpreter) return Capture(text::SplitCommandLine(commandLine));
  std::string interpreter = systemDir + "/sh";
  if (::access(interpreter.c_str(), X_OK) != 0) return std::string();
  return Capture({interpreter, "-c", commandLine});
}

}  // namespace console

std::string TOstrelSystem::GetSystemDir() { return "/bin"; }

std::string TOstrelSystem::RunConsoleCommand(const std::string& commandLine, bool throughInterpreter) {
  return console::Run(commandLine, throughInterpreter, GetSystemDir());
}
