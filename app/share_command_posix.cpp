// share_command_posix.cpp - the list switches of the Linux command line.
#include <algorithm>
#include <cstdio>
#include <exception>

#include "app/share_command.h"
#include "app/share_path.h"
#include "config/dir_list_file.h"
#include "config/kelv.h"

namespace {

using TPaths = std::vector<std::string>;

void Complain(const std::string& text) { std::fprintf(stderr, "ostrel: %s\n", text.c_str()); }

TPaths LoadList() { return dirlistfile::Folders(TKelv::LoadSharedDirs()); }

// Takes out every entry that names the folder, by its text or through its key:
// a hand-written "/srv/music/" or a link to the folder is the same folder.
TPaths TakeOut(TPaths& items, const std::string& name, const std::string& key) {
  TPaths taken;
  std::erase_if(items, [&](const std::string& entry) {
    const bool names = entry == name || (!key.empty() && sharepath::Key(entry) == key);
    if (names) taken.push_back(entry);
    return names;
  });
  return taken;
}

// Every folder is checked before any is added: one refusal changes nothing.
// done: what to tell the user once the list is saved.
bool Share(TPaths& items, const TPaths& folders, TPaths& done) {
  TPaths resolved;
  for (const std::string& name : folders) {
    std::string error;
    std::string path = sharepath::Resolve(name, error);
    if (path.empty())
      Complain("cannot share \"" + name + "\": " + error);
    else
      resolved.push_back(path);
  }
  if (resolved.size() != folders.size()) return false;
  for (const std::string& path : resolved) {
    TakeOut(items, path, path);
    items.push_back(path);
    // Two names of one folder in one command are said once.
    if (std::ranges::find(done, "Sharing " + path) == done.end()) done.push_back("Sharing " + path);
  }
  return true;
}

bool Unshare(TPaths& items, const TPaths& folders, TPaths& done) {
  TPaths kept = items;
  bool allListed = true;
  for (const std::string& name : folders) {
    TPaths taken = TakeOut(kept, name, sharepath::Key(name));
    if (taken.empty()) Complain("cannot unshare \"" + name + "\": it is not shared");
    allListed = allListed && !taken.empty();
    for (const std::string& path : taken) done.push_back("No longer sharing " + path);
  }
  if (allListed) items = kept;
  return allListed;
}

}  // namespace

bool ChangeSharedDirs(bool share, const std::vector<std::string>& folders) {
  if (folders.empty()) {
    Complain(std::string(share ? "--share" : "--unshare") + " needs at least one directory");
    return false;
  }
  TPaths done;
  try {
    TPaths items = LoadList();
    if (!(share ? Share(items, folders, done) : Unshare(items, folders, done))) {
      Complain("nothing was changed");
      return false;
    }
    TKelv::SaveSharedDirs(dirlistfile::Join(items));
  } catch (const std::exception& e) {
    Complain(e.what());
    return false;
  }
  for (const std::string& line : done) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  return true;
}

bool PrintSharedDirs() {
  try {
    const TPaths items = LoadList();
    if (items.empty()) std::fprintf(stderr, "%s\n", kNoSharesHint);
    for (const std::string& path : items) std::printf("%s\n", path.c_str());
  } catch (const std::exception& e) {
    Complain(e.what());
    return false;
  }
  return true;
}
