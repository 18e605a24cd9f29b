// ostrel.h - TOstrel: the program's stateless text, path and environment
// operations, all class-level, with the system operations it inherits from
// TOstrelSystem (sys/ostrel_system.h). Any thread may call the text and path
// functions.
//
// Where each group is defined:
//   ostrel_request.cpp           request reading and fields
//   ostrel_path.cpp              path mapping (PathDelim: ostrel_env_*.cpp)
//   ostrel_env.cpp               GetAppDir, OverrideAppDir
//   ostrel_env_{posix,win32}.cpp PathDelim, GetExePath, GetLocalIP, GetCharset
#pragma once
#include <string>

#include "base/deadline.h"
#include "sys/ostrel_system.h"

class TIdPeerThread;
class TIdTCPConnection;

class TOstrel : public TOstrelSystem {
 public:
  TOstrel() = delete;

  // ---- Request reading and fields ----
  // The request line and header lines up to and including the empty line.
  // Raises when the connection closes first, the head passes kMaxRequestHead,
  // or (EIdReadTimeout) the empty line has not come by the deadline.
  static std::string ReadRequest(TIdPeerThread& thread);
  static std::string ReadRequest(TIdTCPConnection& connection, TDeadline deadline = TDeadline::None());
  static constexpr std::size_t kMaxRequestHead = 64 * 1024;

  // "method", "url" (decoded path), "query" (raw), or a header's value.
  static std::string GetRequestField(const std::string& request, const std::string& name);
  static std::string GetHeaderValue(const std::string& text, const std::string& name);

  // ---- Path mapping ----
  // An existing file inside the root, a URL path ending in "/" (a directory
  // inside the root named without its slash), or "" (nothing to serve; always
  // so for a path holding a control byte).
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
  static std::string GetLocalIP();
  static std::string GetCharset();
  // Tests lay out their own application directories; "" restores the real one.
  static void OverrideAppDir(const std::string& dir);
};
