// text_lines.cpp - the line rules of the shared-directory list file.
#include "config/text_lines.h"

namespace textlines {

std::vector<std::string> Cut(const std::string& text) {
  const std::string whole = text.substr(0, text.find('\0'));
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < whole.size()) {
    std::size_t at = whole.find_first_of("\r\n", start);
    if (at == std::string::npos) at = whole.size();
    lines.push_back(whole.substr(start, at - start));
    if (at < whole.size() && whole[at] == '\r' && at + 1 < whole.size() && whole[at + 1] == '\n') ++at;
    start = at + 1;
  }
  return lines;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace textlines
