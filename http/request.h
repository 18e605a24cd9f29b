// request.h - TRequest: one request head, taken apart once: the request line's
// parts and the header lines in their order, as the dispatch, the path mapping
// and the gateway's environment use them. A plain value; once made it only
// reads, so any thread may use it.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A line of the head that holds a ":": the text before the first ":" as sent
// (blanks and all), and the text after it, trimmed.
struct THeaderLine {
  std::string Name;
  std::string Value;

  // Whether the name, trimmed, is name, without regard to ASCII case.
  bool Is(std::string_view name) const;
};

// The lines of text (split at CR LF) that hold a ":", in their order.
std::vector<THeaderLine> HeaderLinesOf(std::string_view text);

class TRequest {
 public:
  TRequest() = default;
  // Any text is taken apart; what it lacks reads as "". The request line's
  // parts follow the rules of the field lookup: the method is the text before
  // the first blank of the head; the target is the first word of the rest,
  // trimmed, so a head whose request line lacks its version still has one.
  explicit TRequest(std::string head);

  const std::string& Head() const { return FHead; }  // as received, up to its empty line
  const std::string& Line() const { return FLine; }  // the request line, without its CR LF
  const std::string& Method() const { return FMethod; }  // as sent, not upper-cased
  // The method, compared without regard to ASCII case ("GET", "POST").
  bool MethodIs(std::string_view upper) const;
  const std::string& Target() const { return FTarget; }  // path and query, still percent-encoded
  const std::string& Path() const { return FPath; }      // before the target's first "?", as sent
  const std::string& Query() const { return FQuery; }    // after it, as sent
  // The path decoded: "+" and %XX escapes (none giving a NUL), UTF-8 to the
  // system's 8-bit code page where it differs, then the URL path form ("/"
  // separators, never two in a row).
  const std::string& Url() const { return FUrl; }
  // The request line's third blank-separated word ("HTTP/1.1"); "" without one.
  const std::string& Version() const { return FVersion; }
  // The lines after the request line that hold a ":", in their order.
  const std::vector<THeaderLine>& Headers() const { return FHeaders; }
  // A head the server refuses unanswered, whatever it asks for: a control byte
  // in the request line (as sent, or escaped in the path; an escaped NUL
  // anywhere), a request line that does not end in its HTTP version, or a
  // header line folded onto the one before it (begun with a blank or a tab).
  // Lines so made are read differently by different readers.
  bool Malformed() const { return FMalformed; }

  // The value of the first line whose name, trimmed, equals name without
  // regard to ASCII case; "" when there is none. Every line of the head is
  // such a line, the request line too.
  const std::string& Header(std::string_view name) const;
  // "method", "url" and "query" (any case) give those parts, any other name
  // the header's value.
  std::string Field(std::string_view name) const;

 private:
  std::string FHead, FLine, FMethod, FTarget, FPath, FQuery, FUrl, FVersion;
  std::vector<THeaderLine> FHeaders;
  bool FMalformed = false;
  // The request line read as a header line, which the lookup's rule counts
  // too; a head so written names no method this server serves.
  std::optional<THeaderLine> FLineAsHeader;
};
