// file_reader.h - read-only file access for sending files, one file per platform.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

class TIdFileReader {
 public:
  // Opens for sending: others may read the file but not write it meanwhile
  // (where the platform can say so). Raises EIdFileNotFound when no file is
  // there, EFOpenError when it cannot be opened.
  explicit TIdFileReader(const std::string& path);
  ~TIdFileReader();
  TIdFileReader(const TIdFileReader&) = delete;
  TIdFileReader& operator=(const TIdFileReader&) = delete;

  std::int64_t Size() const;
  int Read(void* buffer, int count);  // bytes read; 0 at the end; -1 on failure

  static bool Exists(const std::string& path);  // a file, not a directory
  // The size of the file, opened with no sharing restriction; raises EFOpenError.
  static std::int64_t SizeByPath(const std::string& path);

 private:
  struct TOpenFile;  // the platform's owner of the open file
  std::unique_ptr<TOpenFile> FFile;
  std::int64_t FSize = 0;
};
