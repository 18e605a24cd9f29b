// dir_list.h - TDirList: the shared-directory list behind the window's list
// view and the Linux program's list switches, in the format of its file
// (dir_list_file.h). Main thread only.
#pragma once
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

class TDirList {
 public:
  static constexpr std::size_t npos = std::numeric_limits<std::size_t>::max();

  // Fills the list from the list file (TKelv): the folders it names.
  void Load();
  // Writes the list to the list file; raises when the file cannot be written.
  void Save() const;

  // Appends a path that the folder browser returned, with a drive root stored
  // as "D:"; an entry equal to it apart from ASCII letter case is removed first,
  // so it moves to the end (its old index goes to removedIndex, when given).
  // False, with nothing changed, for "": a cancelled browser.
  bool Add(const std::string& path, std::size_t* removedIndex = nullptr);
  // Removes the entry at index; an index past the end changes nothing.
  void Delete(std::size_t index);

  const std::vector<std::string>& Items() const { return FItems; }

  // "C:\" (a drive root, three characters or fewer) becomes "C:".
  static std::string DriveRootAsDrive(const std::string& path);

 private:
  std::vector<std::string> FItems;
};
