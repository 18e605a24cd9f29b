// process_posix.cpp - ending another process by its id on Linux.
#include <signal.h>
#include <time.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include "sys/port_owner.h"

namespace {

// The caller binds again right after the kill; the killed process still holds
// the port until the kernel has torn it down, which can take a few
// milliseconds more than a bind attempt. Long enough for that, short enough
// for a process that refuses to go.
constexpr auto kEndWait = std::chrono::seconds(2);

// Gone, or a zombie with no thread left: either way its descriptors are
// closed. The first thread turns zombie as soon as it has exited itself, while
// the others may still be on their way out, holding the descriptors they share.
bool Ended(int processId) {
  std::ifstream stat("/proc/" + std::to_string(processId) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const std::size_t close = line.rfind(')');  // the name may hold spaces and parentheses
  if (close == std::string::npos) return true;
  // After the name: the state, 16 more fields, then the number of threads.
  std::istringstream fields(line.substr(close + 1));
  std::string state, field;
  long threads = 0;
  fields >> state;
  for (int i = 0; i < 16; ++i) fields >> field;
  fields >> threads;
  return state == "Z" && threads <= 1;
}

void WaitUntilEnded(int processId) {
  const auto deadline = std::chrono::steady_clock::now() + kEndWait;
  const timespec pause{0, 5 * 1000 * 1000};
  while (!Ended(processId) && std::chrono::steady_clock::now() < deadline) nanosleep(&pause, nullptr);
}

}  // namespace

void KillProcess(int processId) {
  // kill() takes 0 and negative ids for process groups; -1 would reach every
  // process this user may signal.
  if (processId <= 0 || ::kill(processId, SIGKILL) != 0) return;
  WaitUntilEnded(processId);
}
