// text.h - the small 8-bit text operations every folder shares: trimming,
// case, cutting, lines and command lines.
#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace text {

// Removes every byte up to and including the space from both ends.
std::string Trim(const std::string& s);
std::string_view TrimView(std::string_view s);  // the same, without a copy
// Upper-cases a to z only.
std::string UpperAscii(std::string s);
// Equal but for the case of a to z; copies nothing (the request's field
// lookups call it for every header line).
bool SameTextAscii(std::string_view a, std::string_view b);
// Cuts s at the first d: {piece before, remainder after}; {s, ""} when d is absent.
std::pair<std::string, std::string> Cut(const std::string& s, const std::string& d);
// Replaces every occurrence of from by to, repeating while any occurs.
std::string ReplaceAllRepeatedly(std::string s, const std::string& from, const std::string& to);

// Calls f with each line of text, without its end. A line ends at CR LF, a
// lone CR or a lone LF; a break at the very end adds no empty line.
template <class F>
void ForEachLine(std::string_view text, F&& f) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    f(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) f(text.substr(start));
}
std::vector<std::string> SplitLines(std::string_view text);

// The arguments of a command line, element 0 the program: blanks (any byte up
// to the space) separate them; double quotes group blanks into one argument
// and are removed.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

}  // namespace text
