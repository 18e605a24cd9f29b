// mime_table.h - TIdMimeTable: file extension to content type.
//
// Filled once on the constructing thread; afterwards lookups only read, so any
// number of threads may call ContentTypeFor at once.
#pragma once
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class TIdMimeTable {
 public:
  explicit TIdMimeTable(bool autoFill = true);

  // The type for the name's extension, or "application/octet-stream". Only
  // reads: a table that nothing has filled yet knows no type.
  std::string ContentTypeFor(const std::string& fileName) const;
  void AddEntry(const std::string& extension, const std::string& type);
  void EnsureFilled();
  std::size_t Count() const { return FExtensions.size(); }

  std::function<void(TIdMimeTable&)> OnBuildCache;  // replaces the built-in filling

  // "ext=type" lines; a registered type replaces an earlier line of its extension.
  using Lines = std::vector<std::pair<std::string, std::string>>;
  static void SetLine(Lines& lines, const std::string& extension, const std::string& type);

  // Where the platform's registered types come from (AddRegisteredContentTypes);
  // tests put a known source, or none, in its place before the table is filled.
  std::function<void(Lines&)> RegisteredTypes;

 private:
  void FillDefaults();
  int IndexOf(const std::string& lowerExtension) const;

  std::vector<std::string> FExtensions;
  std::vector<std::string> FTypes;
  // Extension to position: every request asks, and the registered types make
  // the list a thousand entries long.
  std::unordered_map<std::string, std::size_t> FIndex;
};

// The platform's registered content types, added to the lines in their order of
// precedence (per-extension registrations, then per-type ones).
void AddRegisteredContentTypes(TIdMimeTable::Lines& lines);

// The extension of a file name as the table sees it ("" when there is none).
std::string MimeExtensionOf(const std::string& fileName);
