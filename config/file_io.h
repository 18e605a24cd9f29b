// file_io.h - whole-file reads and writes, existence tests and directory
// creation, reporting the operating system's error code and text. Paths are
// 8-bit text in the platform's own form.
#pragma once
#include <string>

namespace fileio {

// The outcome of one operation: code 0 is success.
struct TOsError {
  int code = 0;         // the system's error code (see MakeDirectory for POSIX)
  std::string text;     // the system's description, without a closing full stop
  bool opened = false;  // the file had been opened or created when it failed
  bool Failed() const { return code != 0; }
};

// True for an existing entry that is not a directory.
bool IsFile(const std::string& path);
bool IsDirectory(const std::string& path);

// Reads the whole file into content.
TOsError LoadBytes(const std::string& path, std::string& content);

// Creates the file, or empties an existing one, and writes content. A file that
// cannot be created is left as it was.
TOsError StoreBytes(const std::string& path, const std::string& content);

// Creates one directory level. The code is a Windows error code on both
// platforms (POSIX maps errno onto the code of the same cause: EEXIST -> 183),
// because the input/output error texts are keyed on those codes.
TOsError MakeDirectory(const std::string& path);

}  // namespace fileio
