// headless_posix.cpp - the Linux server without a window.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <exception>
#include <string>

#include "app/headless.h"
#include "app/share_command.h"
#include "base/constants.h"
#include "base/program_env.h"
#include "config/kelv.h"
#include "config/site_access.h"
#include "http/web_server.h"
#include "net/local_ip.h"

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

// Pages run only through PHP's CGI program in php/php-cgi: one line says what
// is there instead and what to put there.
void TellAboutInterpreter(const TInterpreterCheck& check) {
  if (check.Kind == TInterpreterKind::Cgi) return;
  const std::string path = GetAppDir() + "/php/php-cgi";
  const char* what = check.Kind == TInterpreterKind::Missing       ? "is missing"
                     : check.Kind == TInterpreterKind::CommandLine ? "is PHP's command-line program"
                                                                   : "did not answer -v as PHP's CGI program";
  std::printf("PHP pages are off: %s %s; link PHP's CGI program there (Debian package php-cgi): "
              "ln -sf /usr/bin/php-cgi '%s'\n",
              path.c_str(), what, path.c_str());
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
    address = "http://" + GetLocalIP() + ":" + std::to_string(kServerPort);
    std::printf("Tell this URL to your friends: %s\n", AddressToHandOut(address, LoadSiteAccess()).c_str());
  });

  TWebServer server;
  Try([&] { server.Start(kServerPort); });
  TellAboutInterpreter(server.Interpreter());
  std::printf("Status: %s\n", server.Active() ? "started" : "stopped");
  std::fflush(stdout);
  started(server.Active() ? address : std::string());

  int signal = 0;
  sigwait(&stopSignals, &signal);
  server.Stop();
  return 0;
}
