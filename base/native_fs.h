// native_fs.h - the one seam to the platform's file system, with the code-page
// rule its names follow: what is at a path, whole-file reads and writes (and
// replacements), a file written piece by piece, directories, renames, removal
// (of whole trees too), a file opened for sending, and the path rules (the
// canonical form, inside a root, the same name). One source file per platform
// (what Linux alone has is declared in native_fs_posix.h); paths are 8-bit
// text in the platform's own form. Any thread.
#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace native_fs {

// ---- What is at a path ----
// File: a plain file (on Linux not a device, pipe or socket, which are None).
enum class TPathKind { None, File, Directory };
TPathKind KindOf(const std::string& path);
// What the entry at path is itself, a link not followed: Directory for a
// directory (on Windows a folder link too, which is a directory there), File
// for whatever else is there (on Linux a link, a device).
TPathKind EntryKindOf(const std::string& path);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// The names of the files (not folders) directly in dir; none when it cannot be read.
std::vector<std::string> FileNamesIn(const std::string& dir);
// The names of all entries directly in dir (files, folders, links, pipes), without "." and "..";
// false when it cannot be read.
bool EntryNamesIn(const std::string& dir, std::vector<std::string>& names);
// When the file was last written; false when nothing is there.
bool ModifiedAt(const std::string& path, std::chrono::system_clock::time_point& at);

// ---- Reading, writing, making and removing, with the system's error ----
// The outcome of one operation: code 0 is success.
struct TOsError {
  int code = 0;         // the system's error code (see MakeDirectory for Linux)
  std::string text;     // the system's description, without a closing full stop
  bool opened = false;  // the file had been opened or created when it failed
  bool missing = false;  // no plain file was there to open
  bool Failed() const { return code != 0; }
};

// Reads the whole file into content.
TOsError LoadBytes(const std::string& path, std::string& content);
// Reads the whole file when the entry at path is a plain file itself (not a
// link, a folder, a pipe or a device), never waiting for a pipe's other end;
// anything else fails. missing: nothing is there (or its folder is not).
TOsError LoadPlainBytes(const std::string& path, std::string& content);
// Creates the file, or empties an existing one, and writes content. A file that
// cannot be created is left as it was.
TOsError StoreBytes(const std::string& path, const std::string& content);
// Creates one directory level. The code is a Windows error code on both
// platforms (Linux maps errno onto the code of the same cause: EEXIST -> 183),
// because the input/output error texts are keyed on those codes.
TOsError MakeDirectory(const std::string& path);
// MakeDirectory's code when something is at the path already (ERROR_ALREADY_EXISTS).
inline constexpr int kAlreadyExists = 183;
// Named so that the Windows headers' DeleteFile macro cannot rewrite it.
bool RemoveFile(const std::string& path);
// Renames a file or a directory within one drive; fails when something is at
// to already.
TOsError Rename(const std::string& from, const std::string& to);
// Removes a file, or a directory with all it holds; a link goes, never what it
// points at (on Windows read-only entries go too). What cannot be removed is
// left, the rest goes; failedAt: the first entry that stayed.
TOsError RemoveTree(const std::string& path, std::string& failedAt);
// Writes content whole or not at all: a new file beside path (its owner's
// alone on Linux), flushed to the disk, then renamed over path, so that a
// reader sees the old content or the new, never a part.
TOsError ReplaceBytes(const std::string& path, const std::string& content);

// A new file written piece by piece, closed with its owner.
class TWriteFile {
 public:
  TWriteFile();
  ~TWriteFile();
  TWriteFile(const TWriteFile&) = delete;
  TWriteFile& operator=(const TWriteFile&) = delete;

  // Creates path; fails when something is there already.
  TOsError Create(const std::string& path);
  TOsError Write(const char* data, std::size_t size);
  // What a full disk reports may come only here.
  TOsError Close();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> F;
};

// A plain file opened for reading, closed with its owner.
class TReadFile {
 public:
  TReadFile();
  ~TReadFile();
  TReadFile(const TReadFile&) = delete;
  TReadFile& operator=(const TReadFile&) = delete;

  // Opens path; others may go on reading the file but not write it meanwhile
  // (where the platform has such modes). missing: no plain file is there.
  TOsError Open(const std::string& path);
  std::int64_t Size() const;  // as it was at Open
  int Read(void* buffer, int count);  // bytes read; 0 at the end; -1 on failure

 private:
  struct TImpl;
  std::unique_ptr<TImpl> F;
};

// The size of the file, opened with no sharing restriction (Windows) or only
// looked at (Linux).
TOsError SizeOf(const std::string& path, std::int64_t& size);

// ---- Path rules ----
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
