// service_win32.cpp - the program's Windows service: look up, install, remove
// and start it through the service control manager. Failures are false results.
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

#include "sys/service.h"

namespace {

struct CloseService {
  void operator()(SC_HANDLE h) const { CloseServiceHandle(h); }
};
// Declared manager first, service second, so the service closes before the manager.
using ScHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, CloseService>;

ScHandle OpenManager() { return ScHandle(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)); }

ScHandle OpenNamedService(const ScHandle& manager, const std::string& name) {
  return ScHandle(OpenServiceA(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
}

}  // namespace

bool ServiceExists(const std::string& name) {
  ScHandle manager = OpenManager();
  if (!manager) return false;
  return OpenNamedService(manager, name) != nullptr;
}

// The binary path goes to the manager exactly as given, without quotes.
bool InstallService(const std::string& name, const std::string& displayName,
                    const std::string& binaryPath) {
  ScHandle manager = OpenManager();
  if (!manager) return false;
  ScHandle service(CreateServiceA(manager.get(), name.c_str(), displayName.c_str(), SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS,
                                  SERVICE_AUTO_START, SERVICE_ERROR_IGNORE, binaryPath.c_str(),
                                  nullptr, nullptr, nullptr, nullptr, nullptr));
  return service != nullptr;
}

// Deletes even when the stop request fails (a service that is not running).
bool UninstallService(const std::string& name) {
  ScHandle manager = OpenManager();
  if (!manager) return false;
  ScHandle service = OpenNamedService(manager, name);
  if (!service) return false;
  SERVICE_STATUS status = {};
  ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  return DeleteService(service.get()) != FALSE;
}

bool RunService(const std::string& name) {
  ScHandle manager = OpenManager();
  if (!manager) return false;
  ScHandle service = OpenNamedService(manager, name);
  if (!service) return false;
  return StartServiceA(service.get(), 0, nullptr) != FALSE;
}
