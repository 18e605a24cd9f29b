// cgi_env.cpp - the CGI variable table of the gateway, with ALL_HTTP and ALL_RAW.
#include "http/cgi_env.h"

#include <limits>
#include <string_view>
#include <utility>

#include "base/text.h"
#include "http/ostrel.h"

namespace cgi_env {
namespace {

// Names in the order they are first set; setting a name again keeps its place.
class TVariables {
 public:
  TVariables() { FEntries.reserve(64); }
  void Set(std::string_view name, std::string value) {
    for (auto& entry : FEntries)
      if (entry.first == name) {
        entry.second = std::move(value);
        return;
      }
    FEntries.emplace_back(name, std::move(value));
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    lines.reserve(FEntries.size() + 8);  // room for what the platform adds
    for (const auto& [name, value] : FEntries) {
      std::string& line = lines.emplace_back();
      line.reserve(name.size() + 1 + value.size());
      line.append(name).append(1, '=').append(value);
    }
    return lines;
  }

 private:
  std::vector<std::pair<std::string_view, std::string>> FEntries;  // names are literals
};

// One header as ALL_RAW and ALL_HTTP show it.
struct THeaderLine {
  std::string_view Raw;       // "Accept"
  std::string_view Variable;  // "HTTP_ACCEPT"
  std::string Value;
};

const char* const kEmptyRows[] = {
    "AUTH_PASSWORD", "AUTH_TYPE", "AUTH_USER", "CERT_COOKIE", "CERT_FLAGS", "CERT_ISSUER",
    "CERT_KEYSIZE", "CERT_SECRETKEYSIZE", "CERT_SERIALNUMBER", "CERT_SERVER_ISSUER",
    "CERT_SERVER_SUBJECT", "CERT_SUBJECT"};

const char* const kAllNames[] = {
    "APPL_MD_PATH", "APPL_PHYSICAL_PATH", "AUTH_PASSWORD", "AUTH_TYPE", "AUTH_USER", "CERT_COOKIE",
    "CERT_FLAGS", "CERT_ISSUER", "CERT_KEYSIZE", "CERT_SECRETKEYSIZE", "CERT_SERIALNUMBER",
    "CERT_SERVER_ISSUER", "CERT_SERVER_SUBJECT", "CERT_SUBJECT", "CONTENT_LENGTH", "CONTENT_TYPE",
    "GATEWAY_INTERFACE", "HTTPS", "HTTPS_KEYSIZE", "HTTPS_SECRETKEYSIZE", "HTTPS_SERVER_ISSUER",
    "HTTPS_SERVER_SUBJECT", "INSTANCE_ID", "INSTANCE_META_PATH", "LOCAL_ADDR", "LOGON_USER",
    "PATH_INFO", "PATH_TRANSLATED", "QUERY_STRING", "REMOTE_ADDR", "REMOTE_HOST", "REMOTE_USER",
    "REQUEST_METHOD", "SCRIPT_NAME", "SERVER_NAME", "SERVER_PORT", "SERVER_PORT_SECURE",
    "SERVER_PROTOCOL", "SERVER_SOFTWARE", "URL", "HTTP_ACCEPT", "HTTP_ACCEPT_LANGUAGE",
    "HTTP_CONNECTION", "HTTP_HOST", "HTTP_USER_AGENT", "HTTP_ACCEPT_ENCODING", "HTTP_COOKIE",
    "HTTP_CONTENT_LENGTH", "HTTP_CONTENT_TYPE", "HTTP_CACHE_CONTROL", "ALL_HTTP", "ALL_RAW"};

void SetServerRows(TVariables& env, const std::string& request, const TCgiValues& values) {
  env.Set("APPL_MD_PATH", "/LM/W3SVC/1/ROOT");
  env.Set("APPL_PHYSICAL_PATH", values.WebRoot + TOstrel::PathDelim());
  for (const char* name : kEmptyRows) env.Set(name, "");
  env.Set("CONTENT_LENGTH", "0");
  env.Set("CONTENT_TYPE", "");
  env.Set("GATEWAY_INTERFACE", "CGI/1.1");
  env.Set("HTTPS", "off");
  for (const char* name : {"HTTPS_KEYSIZE", "HTTPS_SECRETKEYSIZE", "HTTPS_SERVER_ISSUER", "HTTPS_SERVER_SUBJECT"})
    env.Set(name, "");
  env.Set("INSTANCE_ID", "1");
  env.Set("INSTANCE_META_PATH", "/LM/W3SVC/1");
  env.Set("LOCAL_ADDR", values.LocalAddr);
  env.Set("LOGON_USER", "");
  const std::string url = TOstrel::GetRequestField(request, "url");
  env.Set("PATH_INFO", url);
  env.Set("PATH_TRANSLATED", values.ScriptFile);
  env.Set("QUERY_STRING", TOstrel::GetRequestField(request, "query"));
  env.Set("REMOTE_ADDR", values.RemoteAddr);
  env.Set("REMOTE_HOST", values.RemoteAddr);
  env.Set("REMOTE_USER", "");
  env.Set("REQUEST_METHOD", TOstrel::GetRequestField(request, "method"));
  env.Set("SCRIPT_NAME", url);
  auto [serverName, serverPort] = text::Cut(TOstrel::GetRequestField(request, "Host"), ":");
  env.Set("SERVER_NAME", serverName);
  env.Set("SERVER_PORT", text::Trim(serverPort).empty() ? "80" : serverPort);
  env.Set("SERVER_PORT_SECURE", "0");
  env.Set("SERVER_PROTOCOL", "HTTP/1.1");
  env.Set("SERVER_SOFTWARE", "Ovrin");
  env.Set("URL", url);
}

THeaderLine Header(const std::string& request, const char* raw, const char* variable) {
  return {raw, variable, TOstrel::GetRequestField(request, raw)};
}

}  // namespace

std::vector<std::string> Build(const std::string& request, const TCgiValues& values) {
  TVariables env;
  SetServerRows(env, request, values);
  std::vector<THeaderLine> lines = {
      Header(request, "Accept", "HTTP_ACCEPT"),
      Header(request, "Accept-Language", "HTTP_ACCEPT_LANGUAGE"),
      Header(request, "Connection", "HTTP_CONNECTION"),
      Header(request, "Host", "HTTP_HOST"),
      Header(request, "User-Agent", "HTTP_USER_AGENT"),
  };
  const THeaderLine encoding = Header(request, "Accept-Encoding", "HTTP_ACCEPT_ENCODING");
  for (const auto& line : lines) env.Set(line.Variable, line.Value);
  env.Set(encoding.Variable, encoding.Value);

  const std::string method = text::UpperAscii(TOstrel::GetRequestField(request, "method"));
  if (method == "GET") {
    THeaderLine cookie = Header(request, "Cookie", "HTTP_COOKIE");
    env.Set(cookie.Variable, cookie.Value);
    lines.push_back(cookie);
    lines.push_back(encoding);
  } else if (method == "POST") {
    THeaderLine length = Header(request, "Content-Length", "HTTP_CONTENT_LENGTH");
    THeaderLine type = Header(request, "Content-Type", "HTTP_CONTENT_TYPE");
    env.Set("CONTENT_LENGTH", length.Value);
    env.Set("CONTENT_TYPE", type.Value);
    env.Set(length.Variable, length.Value);
    env.Set(type.Variable, type.Value);
    env.Set("HTTP_CACHE_CONTROL", "no-cache");
    lines.push_back(length);
    lines.push_back(type);
    lines.push_back(encoding);
    lines.push_back({"Cache-Control", "HTTP_CACHE_CONTROL", "no-cache"});
  } else {
    lines.push_back(encoding);
  }

  std::string allHttp, allRaw;
  for (const auto& line : lines) {
    allHttp.append(line.Variable).append(":").append(line.Value).append("\r\n");
    allRaw.append(line.Raw).append(": ").append(line.Value).append("\r\n");
  }
  env.Set("ALL_HTTP", std::move(allHttp));
  env.Set("ALL_RAW", std::move(allRaw));
  return env.Lines();
}

bool IsCgiName(const std::string& name) {
  for (const char* known : kAllNames)
    if (text::SameTextAscii(name, known)) return true;
  return false;
}

bool ParseContentLength(const std::string& value, std::int64_t& count) {
  if (value.empty()) return false;
  std::int64_t n = 0;
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  for (char c : value) {
    if (c < '0' || c > '9') return false;
    const int digit = c - '0';
    if (n > (kMax - digit) / 10) return false;
    n = n * 10 + digit;
  }
  count = n;
  return true;
}

}  // namespace cgi_env
