// ostrel.h - TOstrel: the program's stateless text, path, environment and system
// operations, all class-level. Any thread may call the text and path functions;
// the system operations (console commands, port owner, firewall, services) run
// on the main thread.
#pragma once
#include <string>

class TIdPeerThread;
class TIdTCPConnection;

class TOstrel {
 public:
  TOstrel() = delete;

  // ---- Request reading and fields ----
  // The request line and header lines up to and including the empty line.
  // Raises when the connection closes first or the head passes kMaxRequestHead.
  static std::string ReadRequest(TIdPeerThread& thread);
  static std::string ReadRequest(TIdTCPConnection& connection);
  static constexpr std::size_t kMaxRequestHead = 64 * 1024;

  // "method", "url" (decoded path), "query" (raw), or a header's value.
  static std::string GetRequestField(const std::string& request, const std::string& name);
  static std::string GetHeaderValue(const std::string& text, const std::string& name);

  // ---- Path mapping ----
  // An existing file inside the root, a URL path ending in "/" (a directory named
  // without its slash), or "" (nothing to serve).
  static std::string MapUrlToFile(const std::string& root, const std::string& url,
                                  const std::string& defaultDocs, const std::string& delimiter);
  static std::string FindDefaultDoc(const std::string& dir, const std::string& defaultDocs,
                                    const std::string& delimiter);
  static std::string CheckInRoot(const std::string& root, const std::string& fileName);
  static std::string CombinePath(const std::string& fileName, const std::string& dir);
  static std::string ToWinPath(const std::string& path);
  static std::string ToUrlPath(const std::string& path);
  // The platform's own path form: ToWinPath on Windows, "/" separators elsewhere.
  static std::string ToNativePath(const std::string& path);
  static char PathDelim();  // '\\' on Windows, '/' elsewhere

  // ---- Environment ----
  static std::string GetAppDir();
  static std::string GetExePath();
  static std::string GetSystemDir();
  static std::string GetLocalIP();
  static std::string GetCharset();
  // Tests lay out their own application directories; "" restores the real one.
  static void OverrideAppDir(const std::string& dir);

  // ---- System operations ----
  static std::string RunConsoleCommand(const std::string& commandLine, bool throughInterpreter);
  static int FindPortOwner(int port);
  static void KillProcess(int processId);
  static void FreePort(int port);
  static void AddFirewallException(const std::string& name, const std::string& imagePath);
  static bool ServiceExists(const std::string& name);
  static bool InstallService(const std::string& name, const std::string& displayName, const std::string& binaryPath);
  static bool UninstallService(const std::string& name);
  static bool RunService(const std::string& name);
};
