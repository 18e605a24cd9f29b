// child_process_posix.h - the one way the Linux program starts another
// program (the console runner, the service commands and the gateway's
// interpreter alike). Every child gets the same plan: its three standard
// descriptors as given, the environment given or this process's own, no
// other descriptor of this process, and ordinary signal handling (nothing
// blocked, nothing ignored), whatever the server blocks or ignores. Any thread.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

struct TChildPlan {
  static constexpr int kOwn = -1;   // this process's own standard descriptor
  static constexpr int kNull = -2;  // /dev/null

  // The program (a name without "/" is looked up in PATH) and its arguments.
  std::vector<std::string> Argv;
  // The child's standard input, output and error: descriptors of this
  // process (close-on-exec or not), kOwn or kNull.
  int Input = kOwn, Output = kOwn, Error = kOwn;
  // "NAME=value" entries, exactly these; null: this process's environment.
  const std::vector<std::string>* Environment = nullptr;
  std::string Dir;  // "": this process's current directory
  // A process group of its own (led by the child), so that kill(-pid) ends
  // what it starts too.
  bool OwnGroup = false;
};

// Starts the child; its process id, or -1 when it could not be started (a
// program that cannot be run, or a directory that cannot be entered, too;
// such a child is reaped here). The caller reaps a started one.
pid_t StartChild(const TChildPlan& plan);
