// console_child.cpp - a console program for the command runner's tests. Each
// argument is one step: "out:TEXT" and "err:TEXT" write and flush, "lines:N"
// writes the lines 0 to N-1, "sleep:MS" pauses, "spawn:MS" starts a copy of
// itself that sleeps that long holding the same output ("spawnpid:MS" also
// writes "pid:<its id>"), "exit:CODE" ends.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <spawn.h>
extern char** environ;
#endif

namespace {

void Write(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

// The sleeper's process id; 0 when it could not be started.
long SpawnSleeper(const char* self, const std::string& ms) {
  std::string arg = "sleep:" + ms;
#ifdef _WIN32
  const intptr_t process = _spawnl(_P_NOWAIT, self, self, arg.c_str(), nullptr);
  return process == -1 ? 0 : static_cast<long>(GetProcessId(reinterpret_cast<HANDLE>(process)));
#else
  char* argv[] = {const_cast<char*>(self), arg.data(), nullptr};
  pid_t pid;
  return posix_spawn(&pid, self, nullptr, nullptr, argv, environ) == 0 ? pid : 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // Bytes as given: no LF to CR LF translation.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  for (int i = 1; i < argc; ++i) {
    std::string step = argv[i];
    std::size_t colon = step.find(':');
    std::string verb = step.substr(0, colon), value = colon == std::string::npos ? "" : step.substr(colon + 1);
    if (verb == "out") Write(stdout, value);
    else if (verb == "err") Write(stderr, value);
    else if (verb == "lines")
      for (int n = 0, count = std::atoi(value.c_str()); n < count; ++n) Write(stdout, std::to_string(n) + "\n");
    else if (verb == "sleep") std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(value.c_str())));
    else if (verb == "spawn") SpawnSleeper(argv[0], value);
    else if (verb == "spawnpid") Write(stdout, "pid:" + std::to_string(SpawnSleeper(argv[0], value)) + "\n");
    else if (verb == "exit") return std::atoi(value.c_str());
  }
  return 0;
}
