// dir_list.cpp - TDirList: the shared-directory list's add, delete, load and save.
#include "config/dir_list.h"

#include "base/text.h"
#include "config/kelv.h"
#include "config/dir_list_file.h"

std::string TDirList::DriveRootAsDrive(const std::string& path) {
  return path.size() <= 3 ? path.substr(0, 2) : path;
}

// The list file's lines (a NUL ends the text), blank ones left out.
std::vector<std::string> TDirList::ParseLines(const std::string& text) {
  std::vector<std::string> paths;
  for (const std::string& line : textlines::Cut(text))
    if (!text::Trim(line).empty()) paths.push_back(line);
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
