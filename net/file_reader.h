// file_reader.h - TIdFileReader: a file opened for sending through a
// connection, with the connection layer's exceptions for what goes wrong.
#pragma once
#include <cstdint>
#include <string>

#include "base/native_fs.h"

class TIdFileReader {
 public:
  // Opens for sending: others may read the file but not write it meanwhile
  // (where the platform can say so). Raises EIdFileNotFound when no file is
  // there, EFOpenError when it cannot be opened.
  explicit TIdFileReader(const std::string& path);

  std::int64_t Size() const { return FFile.Size(); }
  int Read(void* buffer, int count) { return FFile.Read(buffer, count); }  // 0 at the end; -1 on failure

  // The size of the file, opened with no sharing restriction; raises EFOpenError.
  static std::int64_t SizeByPath(const std::string& path);

 private:
  native_fs::TReadFile FFile;
};
