// file_reader_win32.cpp - file reads over Win32 file handles.
#include <windows.h>

#include "net/exceptions.h"
#include "net/file_reader.h"

namespace {

std::string SystemErrorText(DWORD code) {
  char text[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                           text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) text[--n] = 0;
  return text;
}

HANDLE OpenRead(const std::string& path, DWORD share) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw EFOpenError(path, SystemErrorText(GetLastError()));
  return h;
}

}  // namespace

TIdFileReader::TIdFileReader(const std::string& path) {
  if (!Exists(path)) throw EIdFileNotFound(path);
  FHandle = reinterpret_cast<std::intptr_t>(OpenRead(path, FILE_SHARE_READ));
  LARGE_INTEGER size;
  FSize = GetFileSizeEx(reinterpret_cast<HANDLE>(FHandle), &size) ? size.QuadPart : 0;
}

TIdFileReader::~TIdFileReader() { CloseHandle(reinterpret_cast<HANDLE>(FHandle)); }

std::int64_t TIdFileReader::Size() const { return FSize; }

int TIdFileReader::Read(void* buffer, int count) {
  DWORD read = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(FHandle), buffer, static_cast<DWORD>(count), &read, nullptr))
    return -1;
  return static_cast<int>(read);
}

bool TIdFileReader::Exists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::int64_t TIdFileReader::SizeByPath(const std::string& path) {
  HANDLE h = OpenRead(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  LARGE_INTEGER size;
  std::int64_t result = GetFileSizeEx(h, &size) ? size.QuadPart : 0;
  CloseHandle(h);
  return result;
}
