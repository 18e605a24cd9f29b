// native_fs.h - the file-system and code-page rules that differ between Windows
// and Linux, one source file per platform.
#pragma once
#include <string>
#include <vector>

namespace native_fs {

bool FileExists(const std::string& path);       // a file, not a directory
enum class TPathKind { None, File, Directory };
TPathKind KindOf(const std::string& path);
// Named so that the Windows headers' DeleteFile macro cannot rewrite it.
bool RemoveFile(const std::string& path);
// The names of the files (not folders) directly in dir; none when it cannot be read.
std::vector<std::string> FileNamesIn(const std::string& dir);

// The canonical form of fileName combined with dir: "." and ".." resolved, never
// above the root; "" when the combination fails.
std::string Combine(const std::string& fileName, const std::string& dir);

// Whether path lies inside root: root is a prefix ending at a separator (or
// the whole path), compared as the platform's file system compares names.
bool IsInside(const std::string& root, const std::string& path);

// Whether two canonical paths name the same entry, compared as the platform's
// file system compares names.
bool SamePath(const std::string& a, const std::string& b);

// False for names that the file system would open as another name (on Windows:
// trailing dots or spaces, alternate data streams).
bool IsPlainName(const std::string& path);

// The UTF-8 text in the system's 8-bit code page; "" when it is not valid UTF-8
// or has no such form.
std::string Utf8ToAnsi(const std::string& utf8);

}  // namespace native_fs
