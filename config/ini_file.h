// ini_file.h - TIniFile: single values of an initialization file, read and
// written through the file's full path. Each call opens and closes the file;
// nothing is cached. Not for concurrent use on the same file.
#pragma once
#include <string>
#include <utility>

class TIniFile {
 public:
  explicit TIniFile(std::string fileName) : FFileName(std::move(fileName)) {}

  const std::string& FileName() const { return FFileName; }

  // The entry's value (see initext::ReadValue); defaultValue when the file,
  // the section or the key is missing, or the file cannot be read.
  std::string ReadValue(const std::string& section, const std::string& key, const std::string& defaultValue) const;

  // Sets the entry, creating the file when it is missing. Raises EConfigError
  // "Unable to write to <file name>" when the file cannot be read or written.
  void WriteValue(const std::string& section, const std::string& key, const std::string& value);

 private:
  std::string FFileName;
};
