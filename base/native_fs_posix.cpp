// native_fs_posix.cpp - Linux paths: "/" separators, names compared exactly, UTF-8 text.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "base/native_fs.h"

namespace native_fs {

TPathKind KindOf(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return TPathKind::None;
  if (S_ISREG(st.st_mode)) return TPathKind::File;
  return S_ISDIR(st.st_mode) ? TPathKind::Directory : TPathKind::None;
}

bool FileExists(const std::string& path) { return KindOf(path) == TPathKind::File; }

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::vector<std::string> FileNamesIn(const std::string& dir) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(dir.c_str()), ::closedir);
  if (listing == nullptr) return names;
  while (const dirent* entry = ::readdir(listing.get()))
    if (KindOf(dir + "/" + entry->d_name) == TPathKind::File) names.emplace_back(entry->d_name);
  return names;
}

std::string Combine(const std::string& fileName, const std::string& dir) {
  // A relative name with no folder stays relative, and is refused below.
  std::string joined = (!fileName.empty() && fileName[0] == '/') || dir.empty() ? fileName : dir + "/" + fileName;
  if (joined.empty() || joined[0] != '/') return "";  // only absolute paths are mapped
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i <= joined.size()) {
    std::size_t j = joined.find('/', i);
    if (j == std::string::npos) j = joined.size();
    std::string part = joined.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // never above the root
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  if (parts.empty()) return std::string(1, '/');
  std::string result;
  for (const auto& part : parts) result.append(1, '/').append(part);
  return result.size() >= 4096 ? std::string() : result;
}

bool IsInside(const std::string& root, const std::string& path) {
  if (root.empty() || path.compare(0, root.size(), root) != 0) return false;
  return path.size() == root.size() || root.back() == '/' || path[root.size()] == '/';
}

bool SamePath(const std::string& a, const std::string& b) { return a == b; }

bool IsPlainName(const std::string&) { return true; }

// The 8-bit code page here is UTF-8 itself, so the conversion never differs.
std::string Utf8ToAnsi(const std::string& utf8) { return utf8; }

}  // namespace native_fs
