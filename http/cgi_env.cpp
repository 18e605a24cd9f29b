// cgi_env.cpp - the CGI variable table of the gateway, with ALL_HTTP and ALL_RAW.
#include "http/cgi_env.h"

#include <limits>
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

// One variable: its name, whether only a POST has it, and its value.
struct TRow {
  std::string_view Name;
  bool PostOnly;
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

// The table in the order the interpreter gets it; a name is set once, where it
// first appears (CONTENT_LENGTH and CONTENT_TYPE take a POST's body values in
// their place). After it: what applications expect of a web server beyond the
// table. With cgi.fix_pathinfo = 0 in the written php.ini, php-cgi takes
// PHP_SELF from PATH_INFO (the page's URL path) instead of appending PATH_INFO.
const TRow kTable[] = {
    {"APPL_MD_PATH", false, [](const TSources&) -> std::string { return "/LM/W3SVC/1/ROOT"; }},
    {"APPL_PHYSICAL_PATH", false, [](const TSources& s) { return s.Values.WebRoot + PathDelim(); }},
    {"AUTH_PASSWORD", false, Empty},
    {"AUTH_TYPE", false, Empty},
    {"AUTH_USER", false, Empty},
    {"CERT_COOKIE", false, Empty},
    {"CERT_FLAGS", false, Empty},
    {"CERT_ISSUER", false, Empty},
    {"CERT_KEYSIZE", false, Empty},
    {"CERT_SECRETKEYSIZE", false, Empty},
    {"CERT_SERIALNUMBER", false, Empty},
    {"CERT_SERVER_ISSUER", false, Empty},
    {"CERT_SERVER_SUBJECT", false, Empty},
    {"CERT_SUBJECT", false, Empty},
    {"CONTENT_LENGTH", false, [](const TSources& s) { return s.Post ? s.Request.Header("Content-Length") : "0"; }},
    {"CONTENT_TYPE", false, [](const TSources& s) { return s.Post ? s.Request.Header("Content-Type") : ""; }},
    {"GATEWAY_INTERFACE", false, [](const TSources&) -> std::string { return "CGI/1.1"; }},
    {"HTTPS", false, [](const TSources&) -> std::string { return "off"; }},
    {"HTTPS_KEYSIZE", false, Empty},
    {"HTTPS_SECRETKEYSIZE", false, Empty},
    {"HTTPS_SERVER_ISSUER", false, Empty},
    {"HTTPS_SERVER_SUBJECT", false, Empty},
    {"INSTANCE_ID", false, [](const TSources&) -> std::string { return "1"; }},
    {"INSTANCE_META_PATH", false, [](const TSources&) -> std::string { return "/LM/W3SVC/1"; }},
    {"LOCAL_ADDR", false, [](const TSources& s) { return s.Values.LocalAddr; }},
    {"LOGON_USER", false, Empty},
    {"PATH_INFO", false, Url},
    {"PATH_TRANSLATED", false, ScriptFile},
    {"QUERY_STRING", false, [](const TSources& s) { return s.Request.Query(); }},
    {"REMOTE_ADDR", false, RemoteAddr},
    {"REMOTE_HOST", false, RemoteAddr},
    {"REMOTE_USER", false, Empty},
    {"REQUEST_METHOD", false, [](const TSources& s) { return s.Request.Method(); }},
    {"SCRIPT_NAME", false, Url},
    {"SERVER_NAME", false, [](const TSources& s) { return s.ServerName; }},
    {"SERVER_PORT", false, [](const TSources& s) { return s.ServerPort; }},
    {"SERVER_PORT_SECURE", false, [](const TSources&) -> std::string { return "0"; }},
    {"SERVER_PROTOCOL", false, [](const TSources&) -> std::string { return "HTTP/1.1"; }},
    {"SERVER_SOFTWARE", false, [](const TSources&) -> std::string { return "Ovrin"; }},
    {"URL", false, Url},
    {"HTTP_ACCEPT", false, [](const TSources& s) { return s.Request.Header("Accept"); }},
    {"HTTP_ACCEPT_LANGUAGE", false, [](const TSources& s) { return s.Request.Header("Accept-Language"); }},
    {"HTTP_CONNECTION", false, [](const TSources& s) { return s.Request.Header("Connection"); }},
    {"HTTP_HOST", false, [](const TSources& s) { return s.Request.Header("Host"); }},
    {"HTTP_USER_AGENT", false, [](const TSources& s) { return s.Request.Header("User-Agent"); }},
    {"HTTP_ACCEPT_ENCODING", false, [](const TSources& s) { return s.Request.Header("Accept-Encoding"); }},
    // A POST gets the cookie as a GET does (a form POST must keep its
    // session), in the GET row's place.
    {"HTTP_COOKIE", false, [](const TSources& s) { return s.Request.Header("Cookie"); }},
    {"HTTP_CONTENT_LENGTH", true, [](const TSources& s) { return s.Request.Header("Content-Length"); }},
    {"HTTP_CONTENT_TYPE", true, [](const TSources& s) { return s.Request.Header("Content-Type"); }},
    {"HTTP_CACHE_CONTROL", true, [](const TSources&) -> std::string { return "no-cache"; }},
    {"ALL_HTTP", false, [](const TSources& s) { return s.AllHttp; }},
    {"ALL_RAW", false, [](const TSources& s) { return s.AllRaw; }},
    {"DOCUMENT_ROOT", false, [](const TSources& s) { return s.Values.WebRoot; }},
    {"REQUEST_URI", false, [](const TSources& s) { return s.Request.Target(); }},
    {"SCRIPT_FILENAME", false, ScriptFile},
    {"SERVER_ADDR", false, [](const TSources& s) { return s.Values.ServerAddr; }},
    // php-cgi refuses to run without it when a user's own settings turn
    // cgi.force_redirect back on.
    {"REDIRECT_STATUS", false, [](const TSources&) -> std::string { return "200"; }},
    // The written php.ini takes enable_post_data_reading from it: the
    // interpreter reads a form's body before the page runs, and leaves any
    // other in its standard input for the page to read as it arrives, so a big
    // one does not wait in php/temp first.
    {"OSTREL_PARSE_BODY", false, [](const TSources& s) -> std::string { return LeavesBodyToPage(s) ? "0" : "1"; }},
};

// A line of ALL_HTTP and ALL_RAW: the header it shows; a fixed value, when it has one.
struct TAllLine {
  std::string_view Raw;       // "Accept"
  std::string_view Variable;  // "HTTP_ACCEPT"
  const char* Fixed = nullptr;
};

// The lines of the method's table (a POST's hold no Cookie line); a method
// that is neither has the lines both share.
std::vector<TAllLine> AllLinesFor(const TRequest& request) {
  std::vector<TAllLine> lines = {{"Accept", "HTTP_ACCEPT"},
                                 {"Accept-Language", "HTTP_ACCEPT_LANGUAGE"},
                                 {"Connection", "HTTP_CONNECTION"},
                                 {"Host", "HTTP_HOST"},
                                 {"User-Agent", "HTTP_USER_AGENT"}};
  const TAllLine encoding{"Accept-Encoding", "HTTP_ACCEPT_ENCODING"};
  if (request.MethodIs("GET")) {
    lines.insert(lines.end(), {{"Cookie", "HTTP_COOKIE"}, encoding});
  } else if (request.MethodIs("POST")) {
    lines.insert(lines.end(), {{"Content-Length", "HTTP_CONTENT_LENGTH"},
                               {"Content-Type", "HTTP_CONTENT_TYPE"},
                               encoding,
                               {"Cache-Control", "HTTP_CACHE_CONTROL", "no-cache"}});
  } else {
    lines.push_back(encoding);
  }
  return lines;
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

std::vector<std::string> Build(const TRequest& request, const TCgiValues& values) {
  TSources sources{request, values, request.MethodIs("POST"), {}, {}, {}, {}};
  for (const TAllLine& line : AllLinesFor(request)) {
    const std::string& value = line.Fixed != nullptr ? std::string(line.Fixed) : request.Header(line.Raw);
    sources.AllHttp.append(line.Variable).append(":").append(value).append("\r\n");
    sources.AllRaw.append(line.Raw).append(": ").append(value).append("\r\n");
  }
  auto [serverName, serverPort] = text::Cut(request.Header("Host"), ":");
  sources.ServerName = std::move(serverName);
  sources.ServerPort = text::Trim(serverPort).empty() ? "80" : std::move(serverPort);

  std::vector<std::string> entries;
  entries.reserve(std::size(kTable) + 24);  // room for the other headers and what the platform adds
  for (const TRow& row : kTable) {
    if (row.PostOnly && !sources.Post) continue;
    const std::string value = row.Value(sources);
    std::string& entry = entries.emplace_back();
    entry.reserve(row.Name.size() + 1 + value.size());
    entry.append(row.Name).append(1, '=').append(value);
  }
  AppendOtherHeaders(request.Headers(), sources.Post, entries);
  EndAtNul(entries);
  return entries;
}

bool IsCgiName(const std::string& name) {
  if (name.size() > 5 && text::SameTextAscii(name.substr(0, 5), "HTTP_")) return true;
  for (const TRow& row : kTable)
    if (text::SameTextAscii(name, std::string(row.Name))) return true;
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
