// dir_list_file.cpp - the format of the shared-directory list file.
#include "config/dir_list_file.h"

#include "base/text.h"

namespace dirlistfile {

std::vector<std::string> Cut(const std::string& text) {
  return text::SplitLines(std::string_view(text).substr(0, text.find('\0')));
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::vector<std::string> Folders(const std::string& text) {
  std::vector<std::string> folders;
  for (const std::string& line : Cut(text))
    if (!text::Trim(line).empty()) folders.push_back(line);
  return folders;
}

}  // namespace dirlistfile
