// dir_list.cpp - TDirList: the shared-directory list's add, delete, load and save.
#include "ui/dir_list.h"

#include "base/text.h"
#include "config/kelv.h"

std::string TDirList::DriveRootAsDrive(const std::string& path) {
  return path.size() <= 3 ? path.substr(0, 2) : path;
}

// Breaks at CR LF, lone CR and lone LF; a NUL ends the text.
std::vector<std::string> TDirList::ParseLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  bool pending = false;
  for (std::size_t i = 0; i < text.size() && text[i] != '\0'; ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.push_back(line);
      line.clear();
      pending = false;
    } else {
      line += c;
      pending = true;
    }
  }
  if (pending) lines.push_back(line);
  std::vector<std::string> paths;
  for (const std::string& l : lines)
    if (!text::Trim(l).empty()) paths.push_back(l);
  return paths;
}

std::string TDirList::Join(const std::vector<std::string>& paths) {
  std::string joined;
  for (const std::string& p : paths) {
    if (!joined.empty()) joined += "\r\n";
    joined += p;
  }
  return joined;
}

void TDirList::Load() { FItems = ParseLines(TKelv::LoadSharedDirs()); }

void TDirList::Save() const { TKelv::SaveSharedDirs(Join(FItems)); }

bool TDirList::Add(const std::string& path, std::size_t* removedIndex) {
  if (removedIndex != nullptr) *removedIndex = npos;
  if (path.empty()) return false;
  std::string added = DriveRootAsDrive(path);
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    if (text::SameTextAscii(FItems[i], added)) {
      FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(i));
      if (removedIndex != nullptr) *removedIndex = i;
      break;
    }
  }
  FItems.push_back(added);
  return true;
}

void TDirList::Delete(std::size_t index) {
  if (index < FItems.size()) FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(index));
}
