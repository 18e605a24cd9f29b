// service_posix.cpp - the program's service on Linux: a systemd unit that runs
// the program with "-auto" at system start. Failures are false results, silent.
//
// Test seams: OSTREL_SYSTEMD_DIR names the unit directory (default
// /etc/systemd/system) and OSTREL_SYSTEMCTL the systemctl program, so tests
// never touch the real systemd.
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/native_fs.h"
#include "base/native_fs_posix.h"
#include "sys/child_process_posix.h"
#include "sys/service.h"

namespace {

std::string Setting(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != 0 ? value : fallback;
}

std::string UnitDir() { return Setting("OSTREL_SYSTEMD_DIR", "/etc/systemd/system"); }

std::string UnitName(const std::string& serviceName) {
  std::string unit = serviceName;
  for (char& c : unit)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return unit + ".service";
}

std::string UnitPath(const std::string& serviceName) { return UnitDir() + "/" + UnitName(serviceName); }
std::string WantsLink(const std::string& serviceName) {
  return UnitDir() + "/multi-user.target.wants/" + UnitName(serviceName);
}

// A name that could break out of its unit file or of the unit directory.
bool UnsafeName(const std::string& name) {
  return name.empty() || name.find_first_of("/\r\n") != std::string::npos || name[0] == '.';
}

// The executable as the first word of ExecStart: quoted so that blanks survive,
// with systemd's specifier and variable characters doubled.
std::string QuoteForUnit(const std::string& path) {
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '\\') quoted += '\\';
    if (c == '%' || c == '$') quoted += c;
    quoted += c;
  }
  return quoted + "\"";
}

// Runs systemctl with its input and output on /dev/null; true when it exits with 0.
bool Systemctl(std::vector<std::string> args) {
  args.insert(args.begin(), Setting("OSTREL_SYSTEMCTL", "systemctl"));
  TChildPlan plan;
  plan.Argv = std::move(args);
  plan.Input = plan.Output = plan.Error = TChildPlan::kNull;
  const pid_t pid = StartChild(plan);
  if (pid <= 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool WriteUnit(const std::string& path, const std::string& displayName, const std::string& binaryPath) {
  return !native_fs::StoreBytes(path, "[Unit]\n"
                                      "Description=" + displayName + "\n\n"
                                      "[Service]\n"
                                      "Type=simple\n"
                                      "ExecStart=" + QuoteForUnit(binaryPath) + " -auto\n\n"
                                      "[Install]\n"
                                      "WantedBy=multi-user.target\n")
              .Failed();
}

}  // namespace

bool ServiceExists(const std::string& name) { return !UnsafeName(name) && native_fs::FileExists(UnitPath(name)); }

// Writes the unit and enables it for system start (the link systemctl enable
// would make); the unit is taken back when it cannot be enabled.
bool InstallService(const std::string& name, const std::string& displayName,
                    const std::string& binaryPath) {
  if (UnsafeName(name) || displayName.find_first_of("\r\n") != std::string::npos ||
      binaryPath.find_first_of("\r\n") != std::string::npos || binaryPath.empty())
    return false;
  std::string unit = UnitPath(name);
  if (!WriteUnit(unit, displayName, binaryPath)) {
    native_fs::RemoveFile(unit);
    return false;
  }
  native_fs::MakeDirectory(UnitDir() + "/multi-user.target.wants", 0755);
  native_fs::RemoveFile(WantsLink(name));
  if (native_fs::MakeLink(unit, WantsLink(name)).Failed()) {
    native_fs::RemoveFile(unit);
    return false;
  }
  Systemctl({"daemon-reload"});
  return true;
}

// Removes the unit even when the stop request fails (a unit that is not running).
bool UninstallService(const std::string& name) {
  if (!ServiceExists(name)) return false;
  Systemctl({"stop", UnitName(name)});
  native_fs::RemoveFile(WantsLink(name));
  const bool removed = native_fs::RemoveFile(UnitPath(name));
  Systemctl({"daemon-reload"});
  return removed;
}

bool RunService(const std::string& name) {
  if (!ServiceExists(name)) return false;
  return Systemctl({"start", UnitName(name)});
}
