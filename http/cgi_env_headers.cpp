// cgi_env_headers.cpp - the request's headers as variables: the list of those
// treated apart, and the rest as HTTP_<NAME>.
#include "http/cgi_env_headers.h"

#include <string_view>
#include <unordered_map>

#include "base/text.h"

namespace cgi_env {
namespace {

// Methods as the list below tells them apart.
enum : unsigned { kGet = 1, kPost = 2, kOtherMethod = 4, kAny = kGet | kPost | kOtherMethod };

// A header the gateway treats apart from the others.
struct THeaderRule {
  std::string_view Name;  // as ALL_RAW shows it
  unsigned Row;           // the methods whose table gives it HTTP_<NAME> in a row of its own
  unsigned Line;          // the methods whose ALL_HTTP and ALL_RAW show it
  bool LineLast;          // its line follows the method's own lines
  const char* Fixed;      // its value whatever the request says; nullptr: the request's
  bool NeverOther;        // never among the other headers, whatever the method
};

// The headers in the order of the table's rows. Every header with a row in
// the method's table is left out of the other headers, so it is set once.
constexpr THeaderRule kRules[] = {
    // name                  row    line   last   fixed       never other
    {"Accept",               kAny,  kAny,  false, nullptr,    false},
    {"Accept-Language",      kAny,  kAny,  false, nullptr,    false},
    {"Connection",           kAny,  kAny,  false, nullptr,    false},
    {"Host",                 kAny,  kAny,  false, nullptr,    false},
    {"User-Agent",           kAny,  kAny,  false, nullptr,    false},
    {"Accept-Encoding",      kAny,  kAny,  true,  nullptr,    false},
    // A POST gets the cookie as a GET does (a form POST must keep its
    // session), though its lines show none.
    {"Cookie",               kAny,  kGet,  false, nullptr,    false},
    // CONTENT_LENGTH and CONTENT_TYPE carry these for every method.
    {"Content-Length",       kPost, kPost, false, nullptr,    true},
    {"Content-Type",         kPost, kPost, false, nullptr,    true},
    {"Cache-Control",        kPost, kPost, true,  "no-cache", false},
    // HTTP_PROXY would steer the page's own outgoing requests; credentials
    // stay with the server.
    {"Proxy",                0,     0,     false, nullptr,    true},
    {"Authorization",        0,     0,     false, nullptr,    true},
    {"Proxy-Authorization",  0,     0,     false, nullptr,    true},
};

unsigned MethodOf(const TRequest& request) {
  if (request.MethodIs("GET")) return kGet;
  return request.MethodIs("POST") ? kPost : kOtherMethod;
}

// The variable of a header: "HTTP_" and its name upper-cased, "-" turned into "_".
std::string VariableOf(std::string_view name) {
  std::string variable = "HTTP_" + text::UpperAscii(std::string(name));
  for (char& c : variable)
    if (c == '-') c = '_';
  return variable;
}

std::string ValueOf(const THeaderRule& rule, const TRequest& request) {
  return rule.Fixed != nullptr ? std::string(rule.Fixed) : request.Header(rule.Name);
}

bool IsTokenName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    if (!ok) return false;
  }
  return true;
}

bool IsLeftOut(std::string_view name, unsigned method) {
  for (const THeaderRule& rule : kRules)
    if (text::SameTextAscii(name, rule.Name)) return rule.NeverOther || (rule.Row & method) != 0;
  return false;
}

}  // namespace

void AppendHeaderRows(const TRequest& request, std::vector<std::string>& entries) {
  const unsigned method = MethodOf(request);
  for (const THeaderRule& rule : kRules)
    if ((rule.Row & method) != 0) entries.push_back(VariableOf(rule.Name) + "=" + ValueOf(rule, request));
}

void AppendAllLines(const TRequest& request, std::string& allHttp, std::string& allRaw) {
  const unsigned method = MethodOf(request);
  for (const bool last : {false, true}) {
    for (const THeaderRule& rule : kRules) {
      if ((rule.Line & method) == 0 || rule.LineLast != last) continue;
      const std::string value = ValueOf(rule, request);
      allHttp.append(VariableOf(rule.Name)).append(":").append(value).append("\r\n");
      allRaw.append(rule.Name).append(": ").append(value).append("\r\n");
    }
  }
}

void AppendOtherHeaders(const TRequest& request, std::vector<std::string>& entries) {
  const unsigned method = MethodOf(request);
  // Each variable's entry, so that a head of thousands of headers costs no
  // more than reading it.
  std::unordered_map<std::string, std::size_t> added;
  for (const THeaderLine& header : request.Headers()) {
    if (!IsTokenName(header.Name) || IsLeftOut(header.Name, method)) continue;
    const std::string variable = VariableOf(header.Name);
    const auto [seen, fresh] = added.emplace(variable, entries.size());
    if (fresh) entries.push_back(variable + "=" + header.Value);
    else entries[seen->second].append(", ").append(header.Value);
  }
}

}  // namespace cgi_env
