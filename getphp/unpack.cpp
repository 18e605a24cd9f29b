// unpack.cpp - every entry of the archive written under a new folder, its
// folders made first.
#include "getphp/unpack.h"

#include <cctype>
#include <set>
#include <vector>

#include "base/program_env.h"
#include "getphp/folder_ops.h"
#include "getphp/zip_names.h"
#include "getphp/zip_reader.h"

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Makes the folders that name lies in (and name itself when it is a folder)
// that are not made yet.
std::string MakeFolders(const std::string& folder, const TZipEntry& entry, std::set<std::string>& made,
                        TFolderOps& ops) {
  const std::vector<std::string> parts = NameParts(entry.Name);
  const std::size_t folders = entry.IsFolder() ? parts.size() : parts.size() - 1;
  std::string relative;
  for (std::size_t i = 0; i < folders; ++i) {
    relative += (i == 0 ? "" : "/") + parts[i];
    if (!made.insert(Lower(relative)).second) continue;
    std::string error = ops.MakeFolder(PathUnder(folder, relative));
    if (!error.empty()) return error;
  }
  return "";
}

std::string WriteEntry(const TZipArchive& archive, std::size_t index, const std::string& path, TFolderOps& ops) {
  std::unique_ptr<TFileSink> file;
  std::string error = ops.NewFile(path, file);
  if (!error.empty()) return error;
  error = archive.Extract(index, [&file](const char* data, std::size_t size) { return file->Write(data, size); });
  std::string closed = file->Close();
  return error.empty() ? closed : error;
}

}  // namespace

std::string PathUnder(const std::string& folder, const std::string& name) {
  std::string path = folder;
  if (!name.empty()) path += PathDelim();
  for (char c : name) path += c == '/' || c == '\\' ? PathDelim() : c;
  if (!name.empty() && (name.back() == '/' || name.back() == '\\')) path.pop_back();
  return path;
}

std::string RefusalOfArchive(const TZipArchive& archive) {
  std::vector<std::string> names;
  bool cgiAtRoot = false;
  for (const TZipEntry& entry : archive.Entries()) {
    names.push_back(entry.Name);
    cgiAtRoot = cgiAtRoot || Lower(entry.Name) == kCgiProgramName;
  }
  std::string error = RefusalOfEntryNames(names);
  if (error.empty() && !cgiAtRoot) error = std::string("it holds no ") + kCgiProgramName + " at its root";
  return error;
}

std::string Unpack(const TZipArchive& archive, const std::string& folder, TFolderOps& ops) {
  std::string error = RefusalOfArchive(archive);
  if (!error.empty()) return error;
  error = ops.MakeFolder(folder);
  std::set<std::string> made;
  for (std::size_t i = 0; i < archive.Entries().size() && error.empty(); ++i) {
    const TZipEntry& entry = archive.Entries()[i];
    error = MakeFolders(folder, entry, made, ops);
    if (error.empty() && !entry.IsFolder()) error = WriteEntry(archive, i, PathUnder(folder, entry.Name), ops);
  }
  return error;
}
