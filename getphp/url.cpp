// url.cpp - taking http:// and https:// addresses apart, and the loopback rule.
#include "getphp/url.h"

#include <cctype>
#include <cstdlib>

namespace {

bool PlainAscii(const std::string& text) {
  for (unsigned char c : text)
    if (c <= 0x20 || c >= 0x7F) return false;
  return !text.empty();
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool AllDigits(const std::string& s) {
  if (s.empty() || s.size() > 5) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

bool HostName(const std::string& host) {
  for (char c : host)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') return false;
  return !host.empty();
}

// host[:port] or [v6][:port] into url; false when malformed.
bool ParseAuthority(const std::string& authority, TUrl& url) {
  std::string host = authority, port;
  if (!authority.empty() && authority[0] == '[') {
    std::size_t close = authority.find(']');
    if (close == std::string::npos) return false;
    host = authority.substr(1, close - 1);
    std::string rest = authority.substr(close + 1);
    if (!rest.empty() && rest[0] != ':') return false;
    if (!rest.empty()) port = rest.substr(1);
    for (char c : host)
      if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
    if (host.empty()) return false;
  } else {
    std::size_t colon = authority.find(':');
    if (colon != std::string::npos) {
      host = authority.substr(0, colon);
      port = authority.substr(colon + 1);
    }
    if (!HostName(host)) return false;
  }
  url.Host = Lower(host);
  url.Port = url.Secure ? 443 : 80;
  if (!port.empty() || authority.back() == ':') {
    if (!AllDigits(port)) return false;
    url.Port = std::atoi(port.c_str());
    if (url.Port < 1 || url.Port > 65535) return false;
  }
  return true;
}

bool SameOrigin(const TUrl& a, const TUrl& b) { return a.Secure == b.Secure && a.Host == b.Host && a.Port == b.Port; }

std::string Origin(const std::string& url) {
  std::size_t slash = url.find('/', url.find("://") + 3);
  return slash == std::string::npos ? url : url.substr(0, slash);
}

}  // namespace

bool ParseUrl(const std::string& text, TUrl& url) {
  if (!PlainAscii(text) || text.find('#') != std::string::npos) return false;
  std::size_t sep = text.find("://");
  if (sep == std::string::npos) return false;
  std::string scheme = Lower(text.substr(0, sep));
  if (scheme != "http" && scheme != "https") return false;
  url = TUrl();
  url.Secure = scheme == "https";
  std::size_t pathAt = text.find_first_of("/?", sep + 3);
  std::string authority = text.substr(sep + 3, pathAt == std::string::npos ? std::string::npos : pathAt - sep - 3);
  if (authority.empty() || authority.find('@') != std::string::npos || !ParseAuthority(authority, url)) return false;
  url.Path = pathAt == std::string::npos ? "/" : text.substr(pathAt);
  if (url.Path[0] == '?') url.Path = "/" + url.Path;
  return true;
}

bool IsLoopbackHost(const std::string& host) {
  const std::string h = Lower(host);
  if (h == "localhost" || h == "::1") return true;
  int parts = 0;
  std::size_t at = 0;
  while (at <= h.size()) {
    std::size_t dot = h.find('.', at);
    std::string part = h.substr(at, dot == std::string::npos ? std::string::npos : dot - at);
    if (part.empty() || part.size() > 3 || !AllDigits(part) || std::atoi(part.c_str()) > 255) return false;
    if (parts == 0 && part != "127") return false;
    ++parts;
    if (dot == std::string::npos) break;
    at = dot + 1;
  }
  return parts == 4;
}

std::string RefusalOf(const std::string& text) {
  TUrl url;
  if (!ParseUrl(text, url)) return "\"" + text + "\" is not an http:// or https:// address";
  if (!url.Secure && !IsLoopbackHost(url.Host))
    return "\"" + text + "\" is plain http://, which is taken only from this computer (use https://)";
  return "";
}

std::string Beside(const std::string& url, const std::string& name) {
  std::string base = url.substr(0, url.find('?'));
  std::size_t slash = base.rfind('/');
  if (slash == std::string::npos || slash < base.find("://") + 3) return Origin(url) + "/" + name;
  return base.substr(0, slash + 1) + name;
}

std::string FollowOnSameHost(const std::string& from, const std::string& location) {
  TUrl source, target;
  if (!ParseUrl(from, source)) return "";
  std::string next;
  if (location.find("://") != std::string::npos)
    next = location;
  else if (location.rfind("//", 0) == 0)
    return "";  // another host, scheme-relative
  else if (!location.empty() && location[0] == '/')
    next = Origin(from) + location;
  else
    next = Beside(from, location);
  if (!ParseUrl(next, target) || !SameOrigin(source, target)) return "";
  return next;
}
