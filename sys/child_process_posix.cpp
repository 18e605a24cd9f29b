// child_process_posix.cpp - starting a child on Linux: vfork, then in the
// child only system calls on what was prepared before it (it borrows the
// parent's memory until exec): the standard descriptors put in place, every
// other one closed, the signals reset, the directory entered, exec. vfork,
// not posix_spawn: the parent's share of a start is what a page's request
// costs the server, and glibc's posix_spawn maps and unmaps a stack for each.
#include "sys/child_process_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "base/scoped_fd_posix.h"

extern char** environ;

namespace {

// What the child needs, all of it made before the fork.
struct TPrepared {
  const char* Program;
  char* const* Argv;
  char* const* Envp;
  const char* Dir;  // null: stay
  int Fds[3];       // a descriptor, or kOwn
  bool OwnGroup;
  bool SearchPath;  // a program name without "/"
};

// In the child: puts target in place; false when it cannot.
bool PlaceStandard(int fd, int target) {
  if (fd == TChildPlan::kOwn) return true;
  // One already in its place keeps it; only close-on-exec must go.
  if (fd == target) return ::fcntl(fd, F_SETFD, 0) == 0;
  return ::dup2(fd, target) >= 0;
}

// A failed exec is reported through execError, which the child shares with
// the parent until it ends.
[[gnu::noinline]] pid_t ForkAndExec(const TPrepared& p, volatile int& execError) {
  const pid_t pid = ::vfork();
  if (pid != 0) return pid;
  // Dispositions first: the mask (all blocked, from the parent) opens last.
  for (int sig = 1; sig < NSIG; ++sig) ::signal(sig, SIG_DFL);
  bool ready = !p.OwnGroup || ::setpgid(0, 0) == 0;
  for (int target = 0; target < 3 && ready; ++target) ready = PlaceStandard(p.Fds[target], target);
  if (ready) {
    // Only the three: a socket or pipe end of another connection that reached
    // a child would keep that connection open for as long as the child runs.
    ::closefrom(STDERR_FILENO + 1);
    ready = p.Dir == nullptr || ::chdir(p.Dir) == 0;
  }
  if (ready) {
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (p.SearchPath) ::execvpe(p.Program, p.Argv, p.Envp);
    else ::execve(p.Program, p.Argv, p.Envp);
  }
  execError = errno == 0 ? ENOEXEC : errno;
  ::_exit(127);
}

// No signal handler may run in the child while it borrows the parent's memory.
class TSignalsBlocked {
 public:
  TSignalsBlocked() {
    sigset_t all;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &FSaved);
  }
  ~TSignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &FSaved, nullptr); }
  TSignalsBlocked(const TSignalsBlocked&) = delete;
  TSignalsBlocked& operator=(const TSignalsBlocked&) = delete;

 private:
  sigset_t FSaved;
};

std::vector<char*> Pointers(const std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  pointers.reserve(strings.size() + 1);
  for (const std::string& s : strings) pointers.push_back(const_cast<char*>(s.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

pid_t StartChild(const TChildPlan& plan) {
  if (plan.Argv.empty() || plan.Argv[0].empty()) return -1;
  TPrepared prepared{};
  const int given[3] = {plan.Input, plan.Output, plan.Error};
  // /dev/null is opened here: the child only moves descriptors about.
  TScopedFd null;
  for (int fd : given)
    if (fd == TChildPlan::kNull && !null.Valid()) null.Reset(::open("/dev/null", O_RDWR | O_CLOEXEC));
  // A descriptor at 0, 1 or 2 that is not yet where it goes would be
  // overwritten by the one put there before it: it moves up first.
  TScopedFd moved[3];
  for (int target = 0; target < 3; ++target) {
    int fd = given[target] == TChildPlan::kNull ? null.Get() : given[target];
    if (given[target] == TChildPlan::kNull && fd < 0) return -1;
    if (fd >= 0 && fd <= STDERR_FILENO && fd != target) {
      moved[target].Reset(::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
      if (!moved[target].Valid()) return -1;
      fd = moved[target].Get();
    }
    prepared.Fds[target] = fd;
  }
  const std::vector<char*> argv = Pointers(plan.Argv);
  std::vector<char*> envp;
  if (plan.Environment != nullptr) envp = Pointers(*plan.Environment);
  prepared.Program = argv[0];
  prepared.Argv = argv.data();
  prepared.Envp = plan.Environment != nullptr ? envp.data() : environ;
  prepared.Dir = plan.Dir.empty() ? nullptr : plan.Dir.c_str();
  prepared.OwnGroup = plan.OwnGroup;
  prepared.SearchPath = plan.Argv[0].find('/') == std::string::npos;

  volatile int execError = 0;
  pid_t pid;
  {
    TSignalsBlocked blocked;
    pid = ForkAndExec(prepared, execError);
  }
  if (pid < 0) return -1;
  if (execError != 0) {
    int status;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return -1;
  }
  return pid;
}
