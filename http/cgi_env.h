// cgi_env.h - the interpreter's CGI environment for one request: the variables
// in the order the gateway hands them over, built from the request head alone.
// Pure text work, safe on any thread.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace cgi_env {

// What the request head does not say.
struct TCgiValues {
  std::string WebRoot;     // the site root, without a trailing separator
  std::string ScriptFile;  // the page's full path
  std::string RemoteAddr;  // the peer's IP address
  std::string LocalAddr;   // the machine's address as the server reports it
};

// "NAME=value" entries, each name once: the fixed rows, then the GET rows
// (Cookie) or the POST rows (body length and type), then ALL_HTTP and ALL_RAW.
// A POST carries no Cookie variable.
std::vector<std::string> Build(const std::string& request, const TCgiValues& values);

// Every name Build may give, whatever the method: an inherited environment
// must not bring in one that the request did not set.
bool IsCgiName(const std::string& name);

// A POST's body count: one or more decimal digits, nothing else, within int64.
// False for a missing, negative or malformed value.
bool ParseContentLength(const std::string& value, std::int64_t& count);

}  // namespace cgi_env
