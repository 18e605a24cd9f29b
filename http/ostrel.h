// ostrel.h - TOstrel: the request-text and path functions of the HTTP server,
// all class-level and without state; any thread may call them.
//
// Where each group is defined:
//   ostrel_request.cpp  reading the request head and the field lookups on text
//   ostrel_path.cpp     mapping a URL path to a file under the site root
#pragma once
#include <string>

#include "base/deadline.h"
#include "http/request.h"

class TIdPeerThread;
class TIdTCPConnection;

class TOstrel {
 public:
  TOstrel() = delete;

  // ---- Request reading and fields ----
  // The request line and header lines up to and including the empty line,
  // taken apart. Raises when the connection closes first, the head passes
  // kMaxRequestHead, or (EIdReadTimeout) the empty line has not come by the
  // deadline.
  static TRequest ReadRequest(TIdPeerThread& thread);
  static TRequest ReadRequest(TIdTCPConnection& connection, TDeadline deadline = TDeadline::None());
  static constexpr std::size_t kMaxRequestHead = 64 * 1024;

  // "method", "url" (decoded path), "query" (raw), or a header's value, of a
  // request head given as text (TRequest::Field).
  static std::string GetRequestField(const std::string& request, const std::string& name);
  // The value of the first line of text named name (trimmed, any ASCII case);
  // "" when none. The interpreter's header block is read so.
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
};
