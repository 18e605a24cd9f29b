// spawn_posix.h - starting a program whose standard output and standard error
// go to one descriptor, with ordinary signal handling whatever this server
// blocks or ignores (SIGPIPE, the stop signals).
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

// args[0] is the program, looked up in PATH when searchPath. Standard input is
// this process's, or /dev/null when emptyInput. output must lie above 2 (a
// dup2 onto itself would keep close-on-exec). The child's id, -1 on failure.
pid_t SpawnWithOutput(const std::vector<std::string>& args, int output, bool searchPath, bool emptyInput);
