// headless_posix.cpp - the Linux server without a window.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/headless.h"
#include "app/share_command.h"
#include "base/constants.h"
#include "base/program_env.h"
#include "config/host_network.h"
#include "config/kelv.h"
#include "config/site_access.h"
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

std::string UrlOf(const std::string& ip) { return "http://" + ip + ":" + std::to_string(kServerPort); }

// The address given out, then every address with its adapter, so that the
// person can try another when a phone cannot reach the first. Returns the
// address given out.
std::string TellAddresses(const std::vector<TLocalAddress>& addresses, const TSiteAccess& access) {
  const std::string given = UrlOf(addresses.front().IP);
  std::printf("Tell this URL to your friends: %s\n", AddressToHandOut(given, access).c_str());
  std::printf("This computer's addresses, the one above first:\n");
  for (const TLocalAddress& a : addresses) {
    const std::string adapter = a.Adapter.empty() ? "" : "  " + a.Adapter + " (" + KindText(a.Kind) + ")";
    std::printf("  %s%s\n", AddressToHandOut(UrlOf(a.IP), access).c_str(), adapter.c_str());
  }
  return given;
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

  TWebServer server;
  Try([&] { server.Start(kServerPort); });
  std::string address;
  Try([&] {
    // The addresses Start found; asked here only when Start failed before asking.
    std::vector<TLocalAddress> own = server.Addresses();
    address = TellAddresses(own.empty() ? OfferedAddresses() : OfferedAddresses(std::move(own)), LoadSiteAccess());
  });
  TellAboutInterpreter(server.Interpreter());
  std::printf("Status: %s\n", server.Active() ? "started" : "stopped");
  std::fflush(stdout);
  started(server.Active() ? address : std::string());

  int signal = 0;
  sigwait(&stopSignals, &signal);
  server.Stop();
  return 0;
}
