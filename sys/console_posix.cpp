// console_posix.cpp - console commands on Linux: spawned with one pipe for
// standard output and standard error, through "sh -c" when asked.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
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
#include "sys/ostrel_system.h"
#include "sys/console.h"

extern char** environ;

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

// True once the child has ended (and is reaped); its wait status goes to
// status when given (it stays as it was when another reaped the child).
bool Reaped(pid_t pid, int flags, int* status = nullptr) {
  int own;
  for (;;) {
    pid_t r = ::waitpid(pid, &own, flags);
    if (r == pid) {
      if (status != nullptr) *status = own;
      return true;
    }
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

// Keeps the first cap bytes, so that a child that never stops writing cannot
// fill the memory.
void Keep(std::string& output, std::size_t cap) {
  if (output.size() > cap) output.resize(cap);
}

// Waits for the child to end, ending it at the deadline. True when it ended by
// itself.
bool AwaitEnd(pid_t pid, int processFd, const TDeadline& deadline, int* status) {
  while (!Reaped(pid, deadline.Limited() ? WNOHANG : 0, status)) {
    if (deadline.Passed()) {
      ::kill(pid, SIGKILL);
      Reaped(pid, 0);
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
bool Relay(int pipe, pid_t pid, const console::TBounds& bounds, std::string& output, int* status) {
  TScopedFd process(OpenProcessFd(pid));
  const TDeadline deadline = TDeadline::In(bounds.LimitMs);
  pollfd waits[2] = {{pipe, POLLIN, 0}, {process.Get(), POLLIN, 0}};  // a negative descriptor is skipped
  for (;;) {
    int n = ::poll(waits, 2, deadline.Clip(process.Valid() ? -1 : kIdleWaitMs));
    if (n < 0 && errno != EINTR) break;
    const TPipeState state = ReadWaiting(pipe, output);
    Keep(output, bounds.OutputCap);
    if (state == TPipeState::Closed) break;
    if (Reaped(pid, WNOHANG, status)) {
      ReadWaiting(pipe, output);
      Keep(output, bounds.OutputCap);
      return true;
    }
    if (deadline.Passed()) break;
  }
  return AwaitEnd(pid, process.Get(), deadline, status);
}

// Starts args[0] (looked up in PATH when it holds no "/") with output as its
// standard output and standard error, and standard input this process's or,
// when emptyInput, /dev/null. output must lie above 2: a dup2 onto itself
// would keep close-on-exec.
pid_t Spawn(const std::vector<std::string>& args, int output, bool emptyInput) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  if (emptyInput) posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
  posix_spawnattr_init(&attributes);
  // The command starts with ordinary signal handling, whatever this server
  // blocks or ignores (SIGPIPE, the stop signals).
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = -1;
  if (::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ) != 0) pid = -1;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Starts args with one pipe for its output and relays it within bounds.
bool Capture(const std::vector<std::string>& args, bool emptyInput, const console::TBounds& bounds,
             std::string& output, std::uint32_t* exitCode = nullptr) {
  if (args.empty()) return false;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return false;
  TScopedFd readEnd(ends[0]), writeEnd(ends[1]);
  // dup2 onto itself would keep close-on-exec: keep the write end off 1 and 2.
  if (writeEnd.Get() <= STDERR_FILENO) writeEnd.Reset(::fcntl(writeEnd.Get(), F_DUPFD_CLOEXEC, 3));
  if (writeEnd.Get() < 0) return false;

  pid_t pid = Spawn(args, writeEnd.Get(), emptyInput);
  if (pid <= 0) return false;
  // Once the child and whatever it started have let go, read() reports the end.
  writeEnd.Close();
  ::fcntl(readEnd.Get(), F_SETFL, ::fcntl(readEnd.Get(), F_GETFL) | O_NONBLOCK);
  int status = 0;
  if (!Relay(readEnd.Get(), pid, bounds, output, &status)) return false;
  if (exitCode != nullptr)
    *exitCode = static_cast<std::uint32_t>(WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status));
  return true;
}

// A console command runs as long as it takes and all its output is kept.
std::string CaptureAll(const std::vector<std::string>& args) {
  std::string output;
  Capture(args, false, {-1, std::string::npos}, output);
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
  return Capture(args, true, bounds, output, exitCode);
}

}  // namespace console

std::string TOstrelSystem::GetSystemDir() { return "/bin"; }

std::string TOstrelSystem::RunConsoleCommand(const std::string& commandLine, bool throughInterpreter) {
  return console::Run(commandLine, throughInterpreter, GetSystemDir());
}
