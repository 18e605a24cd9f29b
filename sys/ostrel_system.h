// ostrel_system.h - TOstrelSystem: the program's system operations, all
// class-level and without state. TOstrel (http/ostrel.h) inherits them, so
// callers name them TOstrel::FreePort and so on. They run on the main thread.
//
// Where each group is defined:
//   console_{posix,win32}.cpp     GetSystemDir, RunConsoleCommand
//   port_owner_{posix,win32}.cpp  FindPortOwner
//   port_owner.cpp                FreePort (with the listing readers)
//   process_{posix,win32}.cpp     KillProcess
//   firewall_{posix,win32}.cpp    AddFirewallException
//   service_{posix,win32}.cpp     ServiceExists, InstallService, UninstallService, RunService
#pragma once
#include <string>

class TOstrelSystem {
 public:
  TOstrelSystem() = delete;

  // Where the system's programs live, without a trailing delimiter.
  static std::string GetSystemDir();

  // ---- Console commands and the port owner ----
  static std::string RunConsoleCommand(const std::string& commandLine, bool throughInterpreter);
  // The first listening entry for the port decides: its process id, or 0 when
  // that id is 0 or unknown; 0 when nothing listens.
  static int FindPortOwner(int port);
  // Ends the process and waits (at most 2 s) until it has let go of what it
  // held, so that a bind right after it finds the port free.
  static void KillProcess(int processId);
  static void FreePort(int port);

  // ---- Firewall and services ----
  static void AddFirewallException(const std::string& name, const std::string& imagePath);
  static bool ServiceExists(const std::string& name);
  static bool InstallService(const std::string& name, const std::string& displayName, const std::string& binaryPath);
  static bool UninstallService(const std::string& name);
  static bool RunService(const std::string& name);
};
