// child_process_win32.h - the one way the Windows program starts another
// program (the console runner and the gateway's interpreter alike):
// CreateProcessA, hidden and without a console window, with its standard
// handles as given and an explicit list of the handles it inherits, those
// alone, whatever else in this process is inheritable. Any thread.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "base/scoped_handle_win32.h"

struct TChildPlan {
  // As CreateProcessA takes it: the program, then its arguments.
  std::string CommandLine;
  // The child's standard handles, whether inheritable or not; null: this
  // process's own (its input only; output and error are always given).
  HANDLE Input = nullptr, Output = nullptr, Error = nullptr;
  // "NAME=value" entries, exactly these; null: this process's environment.
  const std::vector<std::string>* Environment = nullptr;
  std::string Dir;  // "": this process's current directory
  // A job object of its own, which ends every process in it, the ones the
  // child starts too, when its handle closes.
  bool OwnJob = false;
};

struct TChild {
  TScopedHandle Process;
  TScopedHandle Job;  // with OwnJob (where the system allows one)
};

// Starts the child; false when it could not be started.
bool StartChild(const TChildPlan& plan, TChild& child);
