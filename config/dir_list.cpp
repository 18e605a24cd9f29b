// dir_list.cpp - TDirList: the shared-directory list's add, delete, load and save.
#include "config/dir_list.h"

#include "base/text.h"
#include "config/dir_list_file.h"
#include "config/kelv.h"

std::string TDirList::DriveRootAsDrive(const std::string& path) {
  return path.size() <= 3 ? path.substr(0, 2) : path;
}

void TDirList::Load() { FItems = dirlistfile::Folders(TKelv::LoadSharedDirs()); }

void TDirList::Save() const { TKelv::SaveSharedDirs(dirlistfile::Join(FItems)); }

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
