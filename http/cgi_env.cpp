// cgi_env.cpp - the CGI variable table of the gateway, with ALL_HTTP and ALL_RAW.
#include "http/cgi_env.h"

#include <limits>
#include <string_view>
#include <utility>

#include "base/text.h"
#include "http/cgi_env_headers.h"
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
    lines.reserve(FEntries.size() + 24);  // room for the other headers and what the platform adds
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
    "HTTP_CONTENT_LENGTH", "HTTP_CONTENT_TYPE", "HTTP_CACHE_CONTROL", "ALL_HTTP", "ALL_RAW",
    "DOCUMENT_ROOT", "REQUEST_URI", "SCRIPT_FILENAME", "SERVER_ADDR", "REDIRECT_STATUS"};

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

// The request target as sent: path and query, still percent-encoded.
std::string RequestTarget(const std::string& request) {
  return text::Cut(text::Trim(text::Cut(request, " ").second), " ").first;
}

// What applications expect of a web server beyond the table. With
// cgi.fix_pathinfo = 0 in the written php.ini, php-cgi takes PHP_SELF from
// PATH_INFO (the page's URL path) instead of appending PATH_INFO to it.
void SetServerExtras(TVariables& env, const std::string& request, const TCgiValues& values) {
  env.Set("DOCUMENT_ROOT", values.WebRoot);
  env.Set("REQUEST_URI", RequestTarget(request));
  env.Set("SCRIPT_FILENAME", values.ScriptFile);
  env.Set("SERVER_ADDR", values.ServerAddr);
  // php-cgi refuses to run without it when a user's own settings turn
  // cgi.force_redirect back on.
  env.Set("REDIRECT_STATUS", "200");
}

// The child reads each value up to a NUL; on Windows a NUL inside a value
// would even start a variable of the client's choosing in the block.
void EndAtNul(std::vector<std::string>& entries) {
  for (std::string& entry : entries) {
    const std::size_t nul = entry.find('\0');
    if (nul != std::string::npos) entry.resize(nul);
  }
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

  // A POST gets the cookie as a GET does (a form POST must keep its session),
  // in the GET row's place; its ALL_HTTP and ALL_RAW keep the POST table's lines.
  THeaderLine cookie = Header(request, "Cookie", "HTTP_COOKIE");
  env.Set(cookie.Variable, cookie.Value);
  const std::string method = text::UpperAscii(TOstrel::GetRequestField(request, "method"));
  if (method == "GET") {
    lines.push_back(std::move(cookie));
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
  SetServerExtras(env, request, values);
  std::vector<std::string> entries = env.Lines();
  AppendOtherHeaders(request, method == "POST", entries);
  EndAtNul(entries);
  return entries;
}

bool IsCgiName(const std::string& name) {
  if (name.size() > 5 && text::SameTextAscii(name.substr(0, 5), "HTTP_")) return true;
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
