// file_reader.cpp - TIdFileReader: the file system's failures as the
// connection layer's exceptions.
#include "net/file_reader.h"

#include "net/exceptions.h"

TIdFileReader::TIdFileReader(const std::string& path) {
  const native_fs::TOsError error = FFile.Open(path);
  if (error.missing) throw EIdFileNotFound(path);
  if (error.Failed()) throw EFOpenError(path, error.text);
}

std::int64_t TIdFileReader::SizeByPath(const std::string& path) {
  std::int64_t size = 0;
  if (const native_fs::TOsError error = native_fs::SizeOf(path, size); error.Failed())
    throw EFOpenError(path, error.text);
  return size;
}
