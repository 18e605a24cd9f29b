// run_mode.h - the program's run modes, chosen once at start-up from the
// command line, and the one-shot service commands. Main thread only.
#pragma once
#include <string>
#include <vector>

inline constexpr char kServiceName[] = "OSTREL_KELV_2008";
inline constexpr char kOneCopyMutexName[] = "Ostrel File Sharing Server_OneCopyMutex";
inline constexpr char kApplicationTitle[] = "Ostrel File Sharing Server";

enum class TRunMode {
  ServiceProcess, Interactive, Install, Uninstall, InstallAndRun, GetPhp, ShareDirs, UnshareDirs, ListShares, Access
};

// startedAsService: the start-up information's show-window value is 0, which
// outranks every argument but "-GETPHP": installers run commands hidden to
// read their lines, and the service manager never passes it. args: the
// arguments after the program's name; only the first counts, upper-cased (a to
// z only) and compared exactly.
TRunMode SelectRunMode(bool startedAsService, const std::vector<std::string>& args);

// The Linux program's decision: "--share", "--unshare" or "--shares" as the
// first argument, exactly so, changes or prints the shared-directory list (a
// command line is how a Linux user without a window chooses what to share),
// "--access" sets or prints who may come in to the site; anything else is
// decided as SelectRunMode decides it, but "-GETPHP" is no switch there (the
// run command installs Debian's php-cgi). The Windows program has no such
// switches.
TRunMode SelectLinuxRunMode(const std::vector<std::string>& args);

// Install, Uninstall or InstallAndRun through the service operations, with the
// service name as its display name and the executable path unquoted. Results
// are not examined and nothing is shown.
void RunServiceCommand(TRunMode mode, const std::string& exePath);
