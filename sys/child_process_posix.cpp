// child_process_posix.cpp - starting a child on Linux with posix_spawn: the
// standard descriptors put in place, every other one closed, the signals
// reset, in one call that reports a program that cannot be run.
#include "sys/child_process_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include "base/scoped_fd_posix.h"

extern char** environ;

namespace {

// Owns a posix_spawn's file actions and attributes.
class TSpawnSettings {
 public:
  TSpawnSettings() {
    posix_spawn_file_actions_init(&Actions);
    posix_spawnattr_init(&Attributes);
  }
  ~TSpawnSettings() {
    posix_spawnattr_destroy(&Attributes);
    posix_spawn_file_actions_destroy(&Actions);
  }
  TSpawnSettings(const TSpawnSettings&) = delete;
  TSpawnSettings& operator=(const TSpawnSettings&) = delete;

  posix_spawn_file_actions_t Actions;
  posix_spawnattr_t Attributes;
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
  if (plan.Argv.empty()) return -1;
  // A descriptor at 0, 1 or 2 that is not yet where it goes would be
  // overwritten by the one put there before it: it moves up first. (One
  // already in its place keeps it: the dup2 onto itself clears close-on-exec.)
  int fds[3] = {plan.Input, plan.Output, plan.Error};
  TScopedFd moved[3];
  for (int target = 0; target < 3; ++target) {
    if (fds[target] < 0 || fds[target] > STDERR_FILENO || fds[target] == target) continue;
    moved[target].Reset(::fcntl(fds[target], F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
    if (!moved[target].Valid()) return -1;
    fds[target] = moved[target].Get();
  }

  TSpawnSettings settings;
  for (int target = 0; target < 3; ++target) {
    if (fds[target] == TChildPlan::kNull)
      posix_spawn_file_actions_addopen(&settings.Actions, target, "/dev/null", target == 0 ? O_RDONLY : O_WRONLY, 0);
    else if (fds[target] >= 0)
      posix_spawn_file_actions_adddup2(&settings.Actions, fds[target], target);
  }
  // Only the three: a socket or pipe end of another connection that reached a
  // child would keep that connection open for as long as the child runs.
  posix_spawn_file_actions_addclosefrom_np(&settings.Actions, STDERR_FILENO + 1);
  if (!plan.Dir.empty()) posix_spawn_file_actions_addchdir_np(&settings.Actions, plan.Dir.c_str());

  // The server ignores SIGPIPE and its threads block the stop signals.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&settings.Attributes, &none);
  posix_spawnattr_setsigdefault(&settings.Attributes, &all);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (plan.OwnGroup) {
    posix_spawnattr_setpgroup(&settings.Attributes, 0);
    flags |= POSIX_SPAWN_SETPGROUP;
  }
  posix_spawnattr_setflags(&settings.Attributes, flags);

  std::vector<char*> argv = Pointers(plan.Argv);
  std::vector<char*> envp;
  if (plan.Environment != nullptr) envp = Pointers(*plan.Environment);
  pid_t pid = -1;
  if (::posix_spawnp(&pid, argv[0], &settings.Actions, &settings.Attributes, argv.data(),
                     plan.Environment != nullptr ? envp.data() : environ) != 0)
    return -1;
  return pid;
}
