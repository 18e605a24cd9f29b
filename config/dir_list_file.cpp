// dir_list_file.cpp - the line rules of the shared-directory list file.
#include "config/dir_list_file.h"

#include "base/text.h"

namespace textlines {

std::vector<std::string> Cut(const std::string& text) {
  return text::SplitLines(std::string_view(text).substr(0, text.find('\0')));
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace textlines
