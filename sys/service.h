// service.h - the program's service: look it up, install, remove and start it
// (the service control manager on Windows, a systemd unit on Linux). Each
// opens and closes all it uses; failures are false results, silent. Main
// thread only.
#pragma once
#include <string>

bool ServiceExists(const std::string& name);
// Starts at system start, in a process of its own, under the system account;
// binaryPath goes to the manager exactly as given.
bool InstallService(const std::string& name, const std::string& displayName, const std::string& binaryPath);
// Asks the service to stop, then deletes it, even when the stop failed.
bool UninstallService(const std::string& name);
bool RunService(const std::string& name);
