// file_reader_win32.cpp - file reads over Win32 file handles.
#include <windows.h>

#include "base/scoped_handle_win32.h"
#include "base/system_text_win32.h"
#include "net/exceptions.h"
#include "net/file_reader.h"

struct TIdFileReader::TOpenFile {
  TScopedHandle Handle;
};

namespace {

TScopedHandle OpenRead(const std::string& path, DWORD share) {
  TScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.Valid()) throw EFOpenError(path, SystemErrorText(GetLastError()));
  return file;
}

std::int64_t SizeOf(const TScopedHandle& file) {
  LARGE_INTEGER size;
  return GetFileSizeEx(file.Get(), &size) ? size.QuadPart : 0;
}

}  // namespace

TIdFileReader::TIdFileReader(const std::string& path) {
  if (!Exists(path)) throw EIdFileNotFound(path);
  FFile = std::make_unique<TOpenFile>(TOpenFile{OpenRead(path, FILE_SHARE_READ)});
  FSize = SizeOf(FFile->Handle);
}

TIdFileReader::~TIdFileReader() = default;

std::int64_t TIdFileReader::Size() const { return FSize; }

int TIdFileReader::Read(void* buffer, int count) {
  DWORD read = 0;
  if (!ReadFile(FFile->Handle.Get(), buffer, static_cast<DWORD>(count), &read, nullptr)) return -1;
  return static_cast<int>(read);
}

bool TIdFileReader::Exists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::int64_t TIdFileReader::SizeByPath(const std::string& path) {
  return SizeOf(OpenRead(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
}
