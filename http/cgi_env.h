// cgi_env.h - the interpreter's CGI environment for one request: the variables
// in the order the gateway hands them over, built from the request and what
// the server knows of the connection. Pure text work, safe on any thread.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "http/request.h"

namespace cgi_env {

// What the request does not say.
struct TCgiValues {
  std::string WebRoot;     // the site root, without a trailing separator
  std::string ScriptFile;  // the page's full path
  std::string RemoteAddr;  // the peer's IP address
  std::string LocalAddr;   // the machine's address as the server reports it
  std::string ServerAddr;  // the address the connection came in on
};

// "NAME=value" entries, each name once: the fixed rows, HTTP_COOKIE, the POST
// rows (body length and type) for a POST, then ALL_HTTP and ALL_RAW with the
// lines of the method's table (a POST's hold no Cookie line). After the table:
// DOCUMENT_ROOT, REQUEST_URI, SCRIPT_FILENAME, SERVER_ADDR, REDIRECT_STATUS,
// OSTREL_PARSE_BODY ("0" for a POST whose body is not a form's, else "1") and
// the request's other headers (cgi_env_headers.h). A value ends at its first
// NUL, as the child reads it.
std::vector<std::string> Build(const TRequest& request, const TCgiValues& values);

// Every name Build may give, whatever the method, and every HTTP_ name: an
// inherited environment must not bring in one that the request did not set.
bool IsCgiName(const std::string& name);

// A POST's body count: one or more decimal digits, nothing else, within int64.
// False for a missing, negative or malformed value.
bool ParseContentLength(const std::string& value, std::int64_t& count);

}  // namespace cgi_env
