// native_fs_win32.cpp - Windows paths: PathCombineA, case-insensitive names, the ANSI code page.
#include <windows.h>
#include <shlwapi.h>

#include <memory>

#include "base/native_fs.h"

namespace native_fs {

TPathKind KindOf(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  if (path.empty() || a == INVALID_FILE_ATTRIBUTES) return TPathKind::None;
  return (a & FILE_ATTRIBUTE_DIRECTORY) != 0 ? TPathKind::Directory : TPathKind::File;
}

bool FileExists(const std::string& path) { return KindOf(path) == TPathKind::File; }

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

std::vector<std::string> FileNamesIn(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  std::unique_ptr<void, BOOL (*)(HANDLE)> search(FindFirstFileA((dir + "\\*").c_str(), &found), FindClose);
  if (search.get() == INVALID_HANDLE_VALUE) {
    (void)search.release();  // nothing to close
    return names;
  }
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.emplace_back(found.cFileName);
  } while (FindNextFileA(search.get(), &found));
  return names;
}

std::string Combine(const std::string& fileName, const std::string& dir) {
  char out[MAX_PATH] = {};
  if (PathCombineA(out, dir.empty() ? nullptr : dir.c_str(), fileName.c_str()) == nullptr) return "";
  return out;
}

bool IsInside(const std::string& root, const std::string& path) {
  if (root.empty() || path.size() < root.size()) return false;
  if (CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, root.data(), static_cast<int>(root.size()),
                     path.data(), static_cast<int>(root.size())) != CSTR_EQUAL)
    return false;
  return path.size() == root.size() || root.back() == '\\' || path[root.size()] == '\\';
}

bool SamePath(const std::string& a, const std::string& b) {
  return a.size() == b.size() && CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.data(),
                                                static_cast<int>(a.size()), b.data(),
                                                static_cast<int>(b.size())) == CSTR_EQUAL;
}

bool IsPlainName(const std::string& path) {
  // "page.php.", "page.php " and "page.php::$DATA" all open page.php.
  if (path.empty() || path.back() == '.' || path.back() == ' ') return false;
  std::size_t colon = path.find(':');
  return colon == std::string::npos || (colon == 1 && path.find(':', 2) == std::string::npos);
}

std::string Utf8ToAnsi(const std::string& utf8) {
  if (utf8.empty()) return "";
  int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                 nullptr, 0);
  if (wide <= 0) return "";
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), w.data(), wide);
  int n = WideCharToMultiByte(CP_ACP, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return "";
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), wide, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace native_fs
