// ini_text.cpp - the line rules of initialization-file text.
#include "config/ini_text.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "base/text.h"

namespace {

struct TLine {
  std::string body;
  std::string end;  // "\r\n", "\n", "\r", or "" for a last line without a break
};

enum class TKind { kOther, kSection, kEntry };

struct TParsed {
  TKind kind = TKind::kOther;
  std::string name;   // section name or key
  std::string value;  // raw text after the "=" of an entry
};

std::vector<TLine> SplitLines(const std::string& text) {
  std::vector<TLine> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t at = text.find_first_of("\r\n", start);
    if (at == std::string::npos) {
      lines.push_back({text.substr(start), ""});
      break;
    }
    std::size_t width = (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ? 2 : 1;
    lines.push_back({text.substr(start, at - start), text.substr(at, width)});
    start = at + width;
  }
  return lines;
}

std::string JoinLines(const std::vector<TLine>& lines) {
  std::string text;
  for (const TLine& line : lines) text += line.body + line.end;
  return text;
}

std::string TrimBlanks(std::string_view s) {
  std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  std::size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

TParsed Parse(const std::string& body) {
  std::string line = TrimBlanks(body);
  if (line.empty() || line[0] == ';') return {};
  if (line[0] == '[') {
    std::size_t close = line.rfind(']');
    if (close == std::string::npos) return {};
    return {TKind::kSection, TrimBlanks(std::string_view(line).substr(1, close - 1)), {}};
  }
  std::size_t eq = line.find('=');
  if (eq == std::string::npos) return {};
  std::string key = TrimBlanks(std::string_view(line).substr(0, eq));
  if (key.empty()) return {};
  return {TKind::kEntry, key, line.substr(eq + 1)};
}

bool IsBlank(const std::string& body) { return TrimBlanks(body).empty(); }

// The line range [first, last) of the first section named name: first is its
// header line; npos when there is none.
struct TRange {
  std::size_t first = std::string::npos;
  std::size_t last = std::string::npos;
};

TRange FindSection(const std::vector<TLine>& lines, const std::string& name) {
  TRange range;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    TParsed p = Parse(lines[i].body);
    if (p.kind != TKind::kSection) continue;
    if (range.first != std::string::npos) {
      range.last = i;
      return range;
    }
    if (text::SameTextAscii(p.name, name)) range.first = i;
  }
  if (range.first != std::string::npos) range.last = lines.size();
  return range;
}

std::size_t FindKey(const std::vector<TLine>& lines, TRange section, const std::string& key) {
  for (std::size_t i = section.first + 1; i < section.last; ++i) {
    TParsed p = Parse(lines[i].body);
    if (p.kind == TKind::kEntry && text::SameTextAscii(p.name, key)) return i;
  }
  return std::string::npos;
}

std::string Unquote(std::string value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

bool IsPlainName(std::string_view name) {
  return !name.empty() && std::ranges::all_of(name, [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
           c == '-';
  });
}

bool IsPlainKey(const std::string& key) {
  static const char* const kReserved[] = {"null", "yes", "no", "true", "false", "on", "off", "none"};
  return IsPlainName(key) && ((key[0] >= 'A' && key[0] <= 'Z') || (key[0] >= 'a' && key[0] <= 'z')) &&
         std::ranges::none_of(kReserved, [&](const char* word) { return text::SameTextAscii(key, word); });
}

bool IsPlainText(std::string_view s, std::string_view refused) {
  return std::ranges::none_of(s, [&](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f || refused.find(c) != std::string_view::npos;
  });
}

void EndWithBreak(TLine& line) {
  if (line.end.empty()) line.end = "\r\n";
}

}  // namespace

namespace initext {

std::optional<std::string> ReadValue(const std::string& text, const std::string& section, const std::string& key) {
  std::vector<TLine> lines = SplitLines(text);
  TRange range = FindSection(lines, section);
  if (range.first == std::string::npos) return std::nullopt;
  std::size_t at = FindKey(lines, range, key);
  if (at == std::string::npos) return std::nullopt;
  std::string value = Unquote(TrimBlanks(Parse(lines[at].body).value));
  if (value.size() > kMaxValue) value.resize(kMaxValue);
  return value;
}

bool IsPlain(const std::string& text, const std::string& section) {
  bool inSection = false, sectionSeen = false;
  std::set<std::string> keys;  // upper-cased
  for (const TLine& line : SplitLines(text)) {
    const std::string body = TrimBlanks(line.body);
    if (body.empty()) continue;
    if (body[0] == ';') {
      if (!IsPlainText(std::string_view(body).substr(1), "")) return false;
      continue;
    }
    const TParsed parsed = Parse(body);
    if (line.body[0] == '[') {
      if (body.back() != ']' || !IsPlainName(std::string_view(body).substr(1, body.size() - 2))) return false;
      inSection = text::SameTextAscii(parsed.name, section);
      if (inSection && std::exchange(sectionSeen, true)) return false;
      continue;
    }
    if (parsed.kind != TKind::kEntry || !IsPlainKey(parsed.name) || !IsPlainText(TrimBlanks(parsed.value), ";\"'"))
      return false;
    if (inSection && !keys.insert(text::UpperAscii(parsed.name)).second) return false;
  }
  return true;
}

std::string WriteValue(const std::string& text, const std::string& section, const std::string& key,
                       const std::string& value) {
  std::vector<TLine> lines = SplitLines(text);
  const std::string entry = key + "=" + value;
  TRange range = FindSection(lines, section);
  if (range.first == std::string::npos) {
    if (!lines.empty()) EndWithBreak(lines.back());
    lines.push_back({"[" + section + "]", "\r\n"});
    lines.push_back({entry, "\r\n"});
    return JoinLines(lines);
  }
  std::size_t at = FindKey(lines, range, key);
  if (at != std::string::npos) {
    lines[at].body = entry;
    EndWithBreak(lines[at]);
    return JoinLines(lines);
  }
  std::size_t last = range.first;  // the header itself when the section holds only blank lines
  for (std::size_t i = range.first + 1; i < range.last; ++i)
    if (!IsBlank(lines[i].body)) last = i;
  EndWithBreak(lines[last]);
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last) + 1, TLine{entry, "\r\n"});
  return JoinLines(lines);
}

}  // namespace initext
