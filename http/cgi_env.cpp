// cgi_env.cpp - the CGI variable table of the gateway, with ALL_HTTP and ALL_RAW.
#include "http/cgi_env.h"

#include <limits>
#include <span>
#include <string_view>

#include "base/program_env.h"
#include "base/text.h"
#include "http/cgi_env_headers.h"

namespace cgi_env {
namespace {

// What the rows' values are made of.
struct TSources {
  const TRequest& Request;
  const TCgiValues& Values;
  bool Post;
  std::string AllHttp, AllRaw;
  std::string ServerName, ServerPort;
};

using TValueOf = std::string (*)(const TSources&);

// One variable: its name and its value.
struct TRow {
  std::string_view Name;
  TValueOf Value;
};

std::string Empty(const TSources&) { return ""; }
std::string Url(const TSources& s) { return s.Request.Url(); }
std::string RemoteAddr(const TSources& s) { return s.Values.RemoteAddr; }
std::string ScriptFile(const TSources& s) { return s.Values.ScriptFile; }

// Whether a POST's body is other than a form's: the interpreter would only
// copy it aside for the page, which reads it itself.
bool LeavesBodyToPage(const TSources& s) {
  if (!s.Post) return false;
  const std::string type = text::Trim(text::Cut(s.Request.Header("Content-Type"), ";").first);
  return !text::SameTextAscii(type, "application/x-www-form-urlencoded") &&
         !text::SameTextAscii(type, "multipart/form-data");
}

// The table in the order the interpreter gets it, the headers' own rows
// (cgi_env_headers.h) coming between kTable and kAfterHeaders; a name is set
// once, where it first appears (CONTENT_LENGTH and CONTENT_TYPE take a POST's
// body values in their place). After ALL_RAW: what applications expect of a
// web server beyond the table. With cgi.fix_pathinfo = 0 in the written
// php.ini, php-cgi takes PHP_SELF from PATH_INFO (the page's URL path) instead
// of appending PATH_INFO.
const TRow kTable[] = {
    {"APPL_MD_PATH", [](const TSources&) -> std::string { return "/LM/W3SVC/1/ROOT"; }},
    {"APPL_PHYSICAL_PATH", [](const TSources& s) { return s.Values.WebRoot + PathDelim(); }},
    {"AUTH_PASSWORD", Empty},
    {"AUTH_TYPE", Empty},
    {"AUTH_USER", Empty},
    {"CERT_COOKIE", Empty},
    {"CERT_FLAGS", Empty},
    {"CERT_ISSUER", Empty},
    {"CERT_KEYSIZE", Empty},
    {"CERT_SECRETKEYSIZE", Empty},
    {"CERT_SERIALNUMBER", Empty},
    {"CERT_SERVER_ISSUER", Empty},
    {"CERT_SERVER_SUBJECT", Empty},
    {"CERT_SUBJECT", Empty},
    {"CONTENT_LENGTH", [](const TSources& s) { return s.Post ? s.Request.Header("Content-Length") : "0"; }},
    {"CONTENT_TYPE", [](const TSources& s) { return s.Post ? s.Request.Header("Content-Type") : ""; }},
    {"GATEWAY_INTERFACE", [](const TSources&) -> std::string { return "CGI/1.1"; }},
    {"HTTPS", [](const TSources&) -> std::string { return "off"; }},
    {"HTTPS_KEYSIZE", Empty},
    {"HTTPS_SECRETKEYSIZE", Empty},
    {"HTTPS_SERVER_ISSUER", Empty},
    {"HTTPS_SERVER_SUBJECT", Empty},
    {"INSTANCE_ID", [](const TSources&) -> std::string { return "1"; }},
    {"INSTANCE_META_PATH", [](const TSources&) -> std::string { return "/LM/W3SVC/1"; }},
    {"LOCAL_ADDR", [](const TSources& s) { return s.Values.LocalAddr; }},
    {"LOGON_USER", Empty},
    {"PATH_INFO", Url},
    {"PATH_TRANSLATED", ScriptFile},
    {"QUERY_STRING", [](const TSources& s) { return s.Request.Query(); }},
    {"REMOTE_ADDR", RemoteAddr},
    {"REMOTE_HOST", RemoteAddr},
    {"REMOTE_USER", Empty},
    {"REQUEST_METHOD", [](const TSources& s) { return s.Request.Method(); }},
    {"SCRIPT_NAME", Url},
    {"SERVER_NAME", [](const TSources& s) { return s.ServerName; }},
    {"SERVER_PORT", [](const TSources& s) { return s.ServerPort; }},
    {"SERVER_PORT_SECURE", [](const TSources&) -> std::string { return "0"; }},
    {"SERVER_PROTOCOL", [](const TSources&) -> std::string { return "HTTP/1.1"; }},
    {"SERVER_SOFTWARE", [](const TSources&) -> std::string { return "Ovrin"; }},
    {"URL", Url},
};

const TRow kAfterHeaders[] = {
    {"ALL_HTTP", [](const TSources& s) { return s.AllHttp; }},
    {"ALL_RAW", [](const TSources& s) { return s.AllRaw; }},
    {"DOCUMENT_ROOT", [](const TSources& s) { return s.Values.WebRoot; }},
    {"REQUEST_URI", [](const TSources& s) { return s.Request.Target(); }},
    {"SCRIPT_FILENAME", ScriptFile},
    {"SERVER_ADDR", [](const TSources& s) { return s.Values.ServerAddr; }},
    // php-cgi refuses to run without it when a user's own settings turn
    // cgi.force_redirect back on.
    {"REDIRECT_STATUS", [](const TSources&) -> std::string { return "200"; }},
    // The written php.ini takes enable_post_data_reading from it: the
    // interpreter reads a form's body before the page runs, and leaves any
    // other in its standard input for the page to read as it arrives, so a big
    // one does not wait in php/temp first.
    {"OSTREL_PARSE_BODY", [](const TSources& s) -> std::string { return LeavesBodyToPage(s) ? "0" : "1"; }},
};

// The child reads each value up to a NUL; on Windows a NUL inside a value
// would even start a variable of the client's choosing in the block.
void EndAtNul(std::vector<std::string>& entries) {
  for (std::string& entry : entries) {
    const std::size_t nul = entry.find('\0');
    if (nul != std::string::npos) entry.resize(nul);
  }
}

// "NAME=value" for each row.
void AppendRows(std::span<const TRow> rows, const TSources& sources, std::vector<std::string>& entries) {
  for (const TRow& row : rows) {
    const std::string value = row.Value(sources);
    std::string& entry = entries.emplace_back();
    entry.reserve(row.Name.size() + 1 + value.size());
    entry.append(row.Name).append(1, '=').append(value);
  }
}

}  // namespace

std::vector<std::string> Build(const TRequest& request, const TCgiValues& values) {
  TSources sources{request, values, request.MethodIs("POST"), {}, {}, {}, {}};
  AppendAllLines(request, sources.AllHttp, sources.AllRaw);
  auto [serverName, serverPort] = text::Cut(request.Header("Host"), ":");
  sources.ServerName = std::move(serverName);
  sources.ServerPort = text::Trim(serverPort).empty() ? "80" : std::move(serverPort);

  std::vector<std::string> entries;
  // Room for the headers, the other rows and what the platform adds.
  entries.reserve(std::size(kTable) + std::size(kAfterHeaders) + 32);
  AppendRows(kTable, sources, entries);
  AppendHeaderRows(request, entries);
  AppendRows(kAfterHeaders, sources, entries);
  AppendOtherHeaders(request, entries);
  EndAtNul(entries);
  return entries;
}

bool IsCgiName(const std::string& name) {
  if (name.size() > 5 && text::SameTextAscii(name.substr(0, 5), "HTTP_")) return true;
  for (const std::span<const TRow> rows : {std::span<const TRow>(kTable), std::span<const TRow>(kAfterHeaders)})
    for (const TRow& row : rows)
      if (text::SameTextAscii(name, row.Name)) return true;
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
