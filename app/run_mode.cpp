// run_mode.cpp - the run-mode decision and the service commands.
#include "app/run_mode.h"

#include "base/text.h"
#include "sys/service.h"

TRunMode SelectRunMode(bool startedAsService, const std::vector<std::string>& args) {
  const std::string first = args.empty() ? "" : text::UpperAscii(args.front());
  if (first == "-GETPHP") return TRunMode::GetPhp;
  if (startedAsService) return TRunMode::ServiceProcess;
  if (args.empty()) return TRunMode::Interactive;
  if (first == "-INSTALL") return TRunMode::Install;
  if (first == "-UNINSTALL") return TRunMode::Uninstall;
  if (first == "-RUN") return TRunMode::InstallAndRun;
  return TRunMode::Interactive;
}

TRunMode SelectLinuxRunMode(const std::vector<std::string>& args) {
  if (!args.empty()) {
    if (args.front() == "--share") return TRunMode::ShareDirs;
    if (args.front() == "--unshare") return TRunMode::UnshareDirs;
    if (args.front() == "--shares") return TRunMode::ListShares;
    if (args.front() == "--access") return TRunMode::Access;
  }
  const TRunMode mode = SelectRunMode(false, args);
  return mode == TRunMode::GetPhp ? TRunMode::Interactive : mode;
}

void RunServiceCommand(TRunMode mode, const std::string& exePath) {
  switch (mode) {
    case TRunMode::Install:
      if (!ServiceExists(kServiceName)) InstallService(kServiceName, kServiceName, exePath);
      break;
    case TRunMode::Uninstall:
      if (ServiceExists(kServiceName)) UninstallService(kServiceName);
      break;
    case TRunMode::InstallAndRun:
      if (!ServiceExists(kServiceName)) InstallService(kServiceName, kServiceName, exePath);
      if (ServiceExists(kServiceName)) RunService(kServiceName);
      break;
    default:
      break;
  }
}
