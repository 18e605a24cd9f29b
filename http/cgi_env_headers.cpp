// cgi_env_headers.cpp - the request's other headers as HTTP_<NAME> variables.
#include "http/cgi_env_headers.h"

#include <string_view>
#include <unordered_map>

#include "base/text.h"

namespace cgi_env {
namespace {

// Headers the table gives in its own rows, or that never reach a page.
const char* const kLeftOut[] = {"ACCEPT",         "ACCEPT-LANGUAGE", "CONNECTION",    "HOST",
                                "USER-AGENT",     "ACCEPT-ENCODING", "COOKIE",        "CONTENT-LENGTH",
                                "CONTENT-TYPE",   "PROXY",           "AUTHORIZATION", "PROXY-AUTHORIZATION"};

bool IsTokenName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    if (!ok) return false;
  }
  return true;
}

// The variable's name for an upper-cased header name, or "" when it is not passed.
std::string VariableFor(const std::string& upperName, bool post) {
  for (const char* known : kLeftOut)
    if (upperName == known) return "";
  if (post && upperName == "CACHE-CONTROL") return "";  // the POST rows fix its value
  std::string name = "HTTP_" + upperName;
  for (char& c : name)
    if (c == '-') c = '_';
  return name;
}

}  // namespace

void AppendOtherHeaders(const std::vector<THeaderLine>& headers, bool post, std::vector<std::string>& entries) {
  // Each variable's entry, so that a head of thousands of headers costs no
  // more than reading it.
  std::unordered_map<std::string, std::size_t> added;
  for (const THeaderLine& header : headers) {
    if (!IsTokenName(header.Name)) continue;
    const std::string variable = VariableFor(text::UpperAscii(header.Name), post);
    if (variable.empty()) continue;
    const auto [seen, fresh] = added.emplace(variable, entries.size());
    if (fresh) entries.push_back(variable + "=" + header.Value);
    else entries[seen->second].append(", ").append(header.Value);
  }
}

}  // namespace cgi_env
