// file_io_win32.cpp - whole-file access and directory creation with the
// Win32 file functions, so that failures carry GetLastError and its text.
#include <windows.h>

#include <algorithm>

#include "base/scoped_handle_win32.h"
#include "base/system_text_win32.h"
#include "config/file_io.h"

namespace {

fileio::TOsError Failure(DWORD code, bool opened) {
  if (code == 0) code = ERROR_GEN_FAILURE;  // a failure must never read as success
  return {static_cast<int>(code), SystemErrorText(code), opened};
}

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

}  // namespace

namespace fileio {

bool IsFile(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsDirectory(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

TOsError LoadBytes(const std::string& path, std::string& content) {
  TScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return Failure(GetLastError(), false);
  content.clear();
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) return Failure(GetLastError(), true);
    if (got == 0) return {};
    content.append(buffer, got);
  }
}

TOsError StoreBytes(const std::string& path, const std::string& content) {
  TScopedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return Failure(GetLastError(), false);
  std::size_t done = 0;
  while (done < content.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1 << 20));
    DWORD put = 0;
    if (!WriteFile(file.Get(), content.data() + done, chunk, &put, nullptr) || put == 0)
      return Failure(GetLastError(), true);
    done += put;
  }
  return {};
}

TOsError MakeDirectory(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return {};
  return Failure(GetLastError(), false);
}

}  // namespace fileio
