// url.h - the web addresses the PHP set-up reads from: taken apart for the
// HTTP client, and checked before anything is fetched.
#pragma once
#include <string>

struct TUrl {
  bool Secure = false;  // https
  std::string Host;     // lower-cased; an IPv6 address without its brackets
  int Port = 0;         // 443 or 80 when the address names none
  std::string Path;     // from the first "/" on, the query included; "/" at least
};

// False for anything but an absolute http:// or https:// address with a host:
// no user name, no fragment, no blank or control byte, nothing beyond ASCII.
bool ParseUrl(const std::string& text, TUrl& url);

// Whether host names this machine's loopback interface: "localhost",
// 127.0.0.0/8 or ::1.
bool IsLoopbackHost(const std::string& host);

// "" when the set-up may read from text; otherwise why not. https:// may name
// any host; plain http:// is neither private nor checked by anyone, so it is
// taken only from a loopback address (the tests serve their list there).
std::string RefusalOf(const std::string& text);

// The address of name in the folder that holds the file at url:
// Beside("https://h/r/releases.json", "php.zip") is "https://h/r/php.zip".
std::string Beside(const std::string& url, const std::string& name);

// A redirect's target against the address that answered it; "" when it leaves
// that address's scheme, host and port (no other host is contacted).
std::string FollowOnSameHost(const std::string& from, const std::string& location);
