// request.cpp - taking a request head apart once: its request line, its
// decoded URL path and its header lines.
#include "http/request.h"

#include <algorithm>

#include "base/native_fs.h"
#include "base/text.h"
#include "http/ostrel.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "+" becomes a blank; "%" takes the next two characters (one at the end) and
// gives their byte when they are hexadecimal digits of 1 to 255, else nothing.
std::string PercentDecode(const std::string& raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%') {
      std::string pair = raw.substr(i + 1, 2);
      i += pair.size();
      if (pair.size() == 2 && HexDigit(pair[0]) >= 0 && HexDigit(pair[1]) >= 0) {
        int value = HexDigit(pair[0]) * 16 + HexDigit(pair[1]);
        if (value != 0) out.push_back(static_cast<char>(value));
      }
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string DecodeUrlPath(const std::string& rawPath) {
  std::string decoded = PercentDecode(rawPath);
  std::string ansi = native_fs::Utf8ToAnsi(decoded);
  if (!ansi.empty() && ansi != decoded) decoded = ansi;
  return TOstrel::ToUrlPath(decoded);
}

// The blank-separated word at index (0-based); "" when the line has fewer.
std::string WordOf(std::string_view line, std::size_t index) {
  std::size_t at = 0;
  for (;;) {
    at = line.find_first_not_of(' ', at);
    if (at == std::string_view::npos) return "";
    std::size_t end = std::min(line.find(' ', at), line.size());
    if (index-- == 0) return std::string(line.substr(at, end - at));
    at = end;
  }
}

bool IsControl(char c) { return static_cast<unsigned char>(c) < ' ' || c == '\x7f'; }

bool HasControl(std::string_view s) { return std::any_of(s.begin(), s.end(), IsControl); }

// Whether raw holds an escape of a control byte; of a NUL only, with nulOnly.
// The query is left to the page, which decodes it itself: a form's text with
// its line breaks is sent as %0D%0A, and only a NUL is never text.
bool EscapesControl(std::string_view raw, bool nulOnly) {
  for (std::size_t i = raw.find('%'); i != std::string_view::npos && i + 2 < raw.size(); i = raw.find('%', i + 1)) {
    const int high = HexDigit(raw[i + 1]), low = HexDigit(raw[i + 2]);
    if (high < 0 || low < 0) continue;
    const char c = static_cast<char>(high * 16 + low);
    if (nulOnly ? c == '\0' : IsControl(c)) return true;
  }
  return false;
}

// "HTTP/" (any case), digits, ".", digits.
bool IsHttpVersion(std::string_view word) {
  if (word.size() < 8 || !text::SameTextAscii(word.substr(0, 5), "HTTP/")) return false;
  const std::size_t dot = word.find('.', 5);
  auto digits = [](std::string_view d) {
    return !d.empty() && std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  return dot != std::string_view::npos && digits(word.substr(5, dot - 5)) && digits(word.substr(dot + 1));
}

// Whether a line after the request line begins with a blank or a tab.
bool HasFoldedLine(std::string_view headerLines) {
  for (std::size_t at = 0; at < headerLines.size();) {
    if (headerLines[at] == ' ' || headerLines[at] == '\t') return true;
    const std::size_t end = headerLines.find("\r\n", at);
    if (end == std::string_view::npos) break;
    at = end + 2;
  }
  return false;
}

}  // namespace

bool THeaderLine::Is(std::string_view name) const { return text::SameTextAscii(text::TrimView(Name), name); }

std::vector<THeaderLine> HeaderLinesOf(std::string_view text) {
  std::vector<THeaderLine> lines;
  for (std::size_t pos = 0; pos <= text.size();) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    // The colon is looked for within the line only: a head of many lines
    // without one must not cost a scan to its end for each of them.
    const std::string_view line = text.substr(pos, end - pos);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos)
      lines.push_back({std::string(line.substr(0, colon)), std::string(text::TrimView(line.substr(colon + 1)))});
    pos = end + 2;
  }
  return lines;
}

TRequest::TRequest(std::string head) : FHead(std::move(head)) {
  const std::string_view all = FHead;
  const std::size_t lineEnd = all.find("\r\n");
  FLine = all.substr(0, lineEnd);
  auto [method, rest] = text::Cut(FHead, " ");
  FMethod = std::move(method);
  auto [target, afterTarget] = text::Cut(text::Trim(rest), " ");
  FTarget = std::move(target);
  auto [path, query] = text::Cut(FTarget, "?");
  FPath = std::move(path);
  FQuery = std::move(query);
  FUrl = DecodeUrlPath(FPath);
  FVersion = WordOf(FLine, 2);

  std::vector<THeaderLine> line = HeaderLinesOf(FLine);
  if (!line.empty()) FLineAsHeader = std::move(line.front());
  if (lineEnd != std::string_view::npos) FHeaders = HeaderLinesOf(all.substr(lineEnd + 2));

  // The version ends the line: a fourth word means a blank inside the target.
  FMalformed = HasControl(FLine) || !IsHttpVersion(FVersion) || !WordOf(FLine, 3).empty() ||
               EscapesControl(FPath, false) || EscapesControl(FQuery, true) || HasControl(FUrl) ||
               (lineEnd != std::string_view::npos && HasFoldedLine(all.substr(lineEnd + 2)));
}

bool TRequest::MethodIs(std::string_view upper) const { return text::SameTextAscii(FMethod, upper); }

const std::string& TRequest::Header(std::string_view name) const {
  static const std::string kNone;
  if (FLineAsHeader && FLineAsHeader->Is(name)) return FLineAsHeader->Value;
  for (const THeaderLine& header : FHeaders)
    if (header.Is(name)) return header.Value;
  return kNone;
}

std::string TRequest::Field(std::string_view name) const {
  if (text::SameTextAscii(name, "method")) return FMethod;
  if (text::SameTextAscii(name, "url")) return FUrl;
  if (text::SameTextAscii(name, "query")) return FQuery;
  return Header(name);
}
