// dir_list.h - TDirList: the shared-directory list behind the window's list
// view, kept apart from the window so that its rules can be tested anywhere.
// Main thread only, like the window that owns it.
#pragma once
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

class TDirList {
 public:
  static constexpr std::size_t npos = std::numeric_limits<std::size_t>::max();

  // Fills the list from the list file (TKelv); lines of blanks are skipped.
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
  // The non-blank lines of a list file's text, each kept untrimmed.
  static std::vector<std::string> ParseLines(const std::string& text);
  // The paths joined by CR LF, with none after the last; "" for none.
  static std::string Join(const std::vector<std::string>& paths);

 private:
  std::vector<std::string> FItems;
};
