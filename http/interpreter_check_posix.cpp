// interpreter_check_posix.cpp - the -v run on Linux: posix_spawn with standard
// input on /dev/null and one pipe for output and errors, bounded in time.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "http/interpreter_check.h"
#include "base/scoped_fd_posix.h"
#include "sys/spawn_posix.h"

namespace {

constexpr std::size_t kOutputCap = 64 * 1024;
using TClock = std::chrono::steady_clock;

int MsLeft(TClock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Reads until the output ends (true) or the deadline passes (false).
bool ReadToEnd(int fd, TClock::time_point deadline, std::string& output) {
  char buffer[4096];
  for (;;) {
    pollfd wait{fd, POLLIN, 0};
    int ready = ::poll(&wait, 1, MsLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return true;
    output.append(buffer, std::min(static_cast<std::size_t>(got), kOutputCap - std::min(kOutputCap, output.size())));
  }
}

// True when the child ended by the deadline; either way it is gone and reaped
// on return.
bool Reap(pid_t pid, TClock::time_point deadline) {
  int status;
  for (;;) {
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno != EINTR)) return true;
    if (r == 0 && MsLeft(deadline) == 0) break;
    if (r == 0) ::usleep(1000);  // its output has ended: its exit is a moment away
  }
  ::kill(pid, SIGKILL);
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return false;
}

}  // namespace

bool RunVersionQuery(const std::string& program, int limitMs, std::string& output) {
  const auto deadline = TClock::now() + std::chrono::milliseconds(limitMs);
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return false;
  TScopedFd readEnd(ends[0]), writeEnd(ends[1]);
  // dup2 onto itself would keep close-on-exec: keep the write end off 0, 1 and 2.
  if (writeEnd.Get() <= STDERR_FILENO) writeEnd.Reset(::fcntl(writeEnd.Get(), F_DUPFD_CLOEXEC, 3));
  if (!writeEnd.Valid()) return false;

  pid_t pid = SpawnWithOutput({program, "-v"}, writeEnd.Get(), false, true);
  if (pid <= 0) return false;
  writeEnd.Close();  // the child's copy is the only writer now: its end is the output's end
  bool ended = ReadToEnd(readEnd.Get(), deadline, output);
  return Reap(pid, ended ? deadline : TClock::now()) && ended;
}
