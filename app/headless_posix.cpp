// headless_posix.cpp - the Linux server without a window.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <exception>

#include "app/headless.h"
#include "app/share_command.h"
#include "base/constants.h"
#include "config/kelv.h"
#include "http/ostrel.h"
#include "http/web_server.h"

namespace {

// Blocked before any thread exists, so every thread inherits the mask and the
// signals wait for sigwait on the main thread.
sigset_t BlockStopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  return set;
}

// A step that fails is reported and the start goes on, as the window would.
template <typename Step>
void Try(Step step) {
  try {
    step();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  }
}

}  // namespace

int RunHeadless(bool autoStart, const std::function<void(const std::string& address)>& started) {
  sigset_t stopSignals = BlockStopSignals();
  if (autoStart && !TKelv::GetAutoRun()) return 0;
  TKelv::WritePhpIni();
  Try([] {
    std::string dirs = TKelv::LoadSharedDirs();
    if (dirs.empty()) dirs = std::string(kNoSharesHint) + "\n";
    std::printf("Shared directories:\n%s", dirs.c_str());
  });
  Try([] { TKelv::GetAutoRun(); });
  Try([] { std::printf("Default upload directory: %s\n", TKelv::GetUploadDir().c_str()); });
  std::string address;
  Try([&] {
    address = "http://" + TOstrel::GetLocalIP() + ":" + std::to_string(kServerPort);
    std::printf("Tell this URL to your friends: %s\n", address.c_str());
  });

  TWebServer server;
  Try([&] { server.Start(kServerPort); });
  std::printf("Status: %s\n", server.Active() ? "started" : "stopped");
  std::fflush(stdout);
  started(server.Active() ? address : std::string());

  int signal = 0;
  sigwait(&stopSignals, &signal);
  server.Stop();
  return 0;
}
