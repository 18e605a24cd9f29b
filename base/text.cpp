// text.cpp - trimming, case, cutting, lines and command lines of 8-bit text.
#include "base/text.h"

namespace text {

std::string_view TrimView(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

std::string Trim(const std::string& s) { return std::string(TrimView(s)); }

namespace {
char UpperChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

std::string UpperAscii(std::string s) {
  for (char& c : s) c = UpperChar(c);
  return s;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  return true;
}

std::pair<std::string, std::string> Cut(const std::string& s, const std::string& d) {
  std::size_t at = s.find(d);
  if (at == std::string::npos) return {s, ""};
  return {s.substr(0, at), s.substr(at + d.size())};
}

std::string ReplaceAllRepeatedly(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t at; (at = s.find(from)) != std::string::npos;) {
    std::string out;
    out.reserve(s.size());
    std::size_t pos = 0;
    for (; at != std::string::npos; at = s.find(from, pos)) {
      out.append(s, pos, at - pos).append(to);
      pos = at + from.size();
    }
    out.append(s, pos, std::string::npos);
    s.swap(out);
  }
  return s;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> arguments;
  const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  std::size_t i = 0;
  const std::size_t n = commandLine.size();
  for (;;) {
    while (i < n && isBlank(commandLine[i])) ++i;
    if (i >= n) return arguments;
    std::string argument;
    bool quoted = false;
    for (; i < n && (quoted || !isBlank(commandLine[i])); ++i) {
      if (commandLine[i] == '"')
        quoted = !quoted;
      else
        argument += commandLine[i];
    }
    arguments.push_back(argument);
  }
}

}  // namespace text
