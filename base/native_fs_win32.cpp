// native_fs_win32.cpp - the file system on Windows: the Win32 file functions,
// PathCombineA, names without regard to case, the ANSI code page, and
// GetLastError with its text in every failure.
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <memory>

#include "base/native_fs.h"
#include "base/scoped_handle_win32.h"
#include "base/system_text_win32.h"

namespace native_fs {
namespace {

TOsError Failure(DWORD code, bool opened) {
  if (code == 0) code = ERROR_GEN_FAILURE;  // a failure must never read as success
  return {static_cast<int>(code), SystemErrorText(code), opened, false};
}

TScopedHandle OpenForReading(const std::string& path, DWORD share) {
  return TScopedHandle(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

TOsError ReadToEnd(HANDLE file, std::string& content) {
  content.clear();
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) return Failure(GetLastError(), true);
    if (got == 0) return {};
    content.append(buffer, got);
  }
}

TOsError WriteAll(HANDLE file, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1 << 20));
    DWORD put = 0;
    if (!WriteFile(file, data + done, chunk, &put, nullptr) || put == 0) return Failure(GetLastError(), true);
    done += put;
  }
  return {};
}

// The failure of the entry at path, kept in failedAt.
TOsError FailureAt(const std::string& path, std::string& failedAt) {
  const DWORD error = GetLastError();
  failedAt = path;
  return Failure(error, false);
}

std::int64_t SizeOf(const TScopedHandle& file) {
  LARGE_INTEGER size;
  return GetFileSizeEx(file.Get(), &size) ? size.QuadPart : 0;
}

}  // namespace

// ---- What is at a path ----

TPathKind KindOf(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  if (path.empty() || a == INVALID_FILE_ATTRIBUTES) return TPathKind::None;
  return (a & FILE_ATTRIBUTE_DIRECTORY) != 0 ? TPathKind::Directory : TPathKind::File;
}

// The attributes describe a link itself, not what it points at.
TPathKind EntryKindOf(const std::string& path) { return KindOf(path); }

bool FileExists(const std::string& path) { return KindOf(path) == TPathKind::File; }

bool DirectoryExists(const std::string& path) { return KindOf(path) == TPathKind::Directory; }

namespace {

// Calls visit with each entry of dir ("." and ".." too); false when dir cannot be listed.
template <class F>
bool ForEachEntry(const std::string& dir, F visit) {
  WIN32_FIND_DATAA found;
  std::unique_ptr<void, BOOL (*)(HANDLE)> search(FindFirstFileA((dir + "\\*").c_str(), &found), FindClose);
  if (search.get() == INVALID_HANDLE_VALUE) {
    (void)search.release();  // nothing to close
    return false;
  }
  do visit(found);
  while (FindNextFileA(search.get(), &found));
  return true;
}

}  // namespace

std::vector<std::string> FileNamesIn(const std::string& dir) {
  std::vector<std::string> names;
  ForEachEntry(dir, [&](const WIN32_FIND_DATAA& found) {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.emplace_back(found.cFileName);
  });
  return names;
}

bool EntryNamesIn(const std::string& dir, std::vector<std::string>& names) {
  names.clear();
  return ForEachEntry(dir, [&](const WIN32_FIND_DATAA& found) {
    if (const std::string name = found.cFileName; name != "." && name != "..") names.push_back(name);
  });
}

bool ModifiedAt(const std::string& path, std::chrono::system_clock::time_point& at) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  // 100 ns units since 1601; the system clock counts from 1970.
  const ULONGLONG ticks =
      (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  constexpr ULONGLONG kFrom1601To1970 = 116444736000000000ULL;
  const auto since1970 = std::chrono::microseconds((static_cast<long long>(ticks) - static_cast<long long>(kFrom1601To1970)) / 10);
  at = std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(since1970));
  return true;
}

// ---- Reading, writing, making and removing ----

TOsError LoadBytes(const std::string& path, std::string& content) {
  TScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return Failure(GetLastError(), false);
  return ReadToEnd(file.Get(), content);
}

TOsError LoadPlainBytes(const std::string& path, std::string& content) {
  // A link (a reparse point) is opened as itself, and then refused.
  TScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.Valid()) {
    const DWORD code = GetLastError();
    TOsError error = Failure(code, false);
    error.missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    return error;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.Get(), &info)) return Failure(GetLastError(), true);
  if (GetFileType(file.Get()) != FILE_TYPE_DISK ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
    return Failure(ERROR_INVALID_PARAMETER, true);
  return ReadToEnd(file.Get(), content);
}

TOsError StoreBytes(const std::string& path, const std::string& content) {
  TScopedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return Failure(GetLastError(), false);
  return WriteAll(file.Get(), content.data(), content.size());
}

TOsError MakeDirectory(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return {};
  return Failure(GetLastError(), false);
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

TOsError Rename(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING: what is at to stays and the move fails.
  return MoveFileExA(from.c_str(), to.c_str(), 0) ? TOsError{} : Failure(GetLastError(), false);
}

TOsError RemoveTree(const std::string& path, std::string& failedAt) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FailureAt(path, failedAt);
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return DeleteFileA(path.c_str()) ? TOsError{} : FailureAt(path, failedAt);
  // A junction or folder link goes, never what it points at.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    return RemoveDirectoryA(path.c_str()) ? TOsError{} : FailureAt(path, failedAt);
  TOsError first;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    std::unique_ptr<void, BOOL (*)(HANDLE)> closer(search, FindClose);
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string at;
      const TOsError error = RemoveTree(path + "\\" + name, at);
      if (error.Failed() && !first.Failed()) {
        first = error;
        failedAt = at;
      }
    } while (FindNextFileA(search, &found));
  }
  if (first.Failed()) return first;
  return RemoveDirectoryA(path.c_str()) ? TOsError{} : FailureAt(path, failedAt);
}

TOsError ReplaceBytes(const std::string& path, const std::string& content) {
  const std::string temp = path + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
  TOsError error;
  {
    TScopedHandle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return Failure(GetLastError(), false);
    error = WriteAll(file.Get(), content.data(), content.size());
    if (!error.Failed() && !FlushFileBuffers(file.Get())) error = Failure(GetLastError(), true);
  }
  if (!error.Failed() && !MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = Failure(GetLastError(), true);
  if (error.Failed()) DeleteFileA(temp.c_str());
  return error;
}

struct TWriteFile::TImpl {
  TScopedHandle Handle;
};

TWriteFile::TWriteFile() : F(std::make_unique<TImpl>()) {}
TWriteFile::~TWriteFile() = default;

TOsError TWriteFile::Create(const std::string& path) {
  F->Handle = TScopedHandle(
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  return F->Handle.Valid() ? TOsError{} : Failure(GetLastError(), false);
}

TOsError TWriteFile::Write(const char* data, std::size_t size) { return WriteAll(F->Handle.Get(), data, size); }

// A full disk fails the write itself: no flush (it would cost a disk round
// trip for each of the some hundred files that PHP's set-up writes).
TOsError TWriteFile::Close() {
  F->Handle.Close();
  return {};
}

struct TReadFile::TImpl {
  TScopedHandle Handle;
  std::int64_t Size = 0;
};

TReadFile::TReadFile() : F(std::make_unique<TImpl>()) {}
TReadFile::~TReadFile() = default;

TOsError TReadFile::Open(const std::string& path) {
  if (!FileExists(path)) {
    TOsError error = Failure(ERROR_FILE_NOT_FOUND, false);
    error.missing = true;
    return error;
  }
  F->Handle = OpenForReading(path, FILE_SHARE_READ);
  if (!F->Handle.Valid()) return Failure(GetLastError(), false);
  F->Size = SizeOf(F->Handle);
  return {};
}

std::int64_t TReadFile::Size() const { return F->Size; }

int TReadFile::Read(void* buffer, int count) {
  DWORD read = 0;
  if (!ReadFile(F->Handle.Get(), buffer, static_cast<DWORD>(count), &read, nullptr)) return -1;
  return static_cast<int>(read);
}

TOsError SizeOf(const std::string& path, std::int64_t& size) {
  TScopedHandle file = OpenForReading(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (!file.Valid()) return Failure(GetLastError(), false);
  size = SizeOf(file);
  return {};
}

// ---- Path rules ----

std::string Combine(const std::string& fileName, const std::string& dir) {
  char out[MAX_PATH] = {};
  if (PathCombineA(out, dir.empty() ? nullptr : dir.c_str(), fileName.c_str()) == nullptr) return "";
  return out;
}

bool IsInside(const std::string& root, const std::string& path) {
  if (root.empty() || path.size() < root.size()) return false;
  if (CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, root.data(), static_cast<int>(root.size()),
                     path.data(), static_cast<int>(root.size())) != CSTR_EQUAL)
    return false;
  return path.size() == root.size() || root.back() == '\\' || path[root.size()] == '\\';
}

bool SamePath(const std::string& a, const std::string& b) {
  return a.size() == b.size() && CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.data(),
                                                static_cast<int>(a.size()), b.data(),
                                                static_cast<int>(b.size())) == CSTR_EQUAL;
}

bool IsPlainName(const std::string& path) {
  // "page.php.", "page.php " and "page.php::$DATA" all open page.php.
  if (path.empty() || path.back() == '.' || path.back() == ' ') return false;
  std::size_t colon = path.find(':');
  return colon == std::string::npos || (colon == 1 && path.find(':', 2) == std::string::npos);
}

std::string Utf8ToAnsi(const std::string& utf8) {
  if (utf8.empty()) return "";
  int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                 nullptr, 0);
  if (wide <= 0) return "";
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), w.data(), wide);
  int n = WideCharToMultiByte(CP_ACP, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return "";
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), wide, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace native_fs
