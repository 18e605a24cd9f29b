// folder_ops_win32.cpp - the set-up's file-system steps on Windows, through
// the A functions like the rest of the program.
#include <windows.h>

#include <memory>

#include "base/scoped_handle_win32.h"
#include "base/system_text_win32.h"
#include "getphp/folder_ops.h"

namespace {

std::string Failure(const std::string& what, const std::string& path, DWORD error) {
  return what + " " + path + ": " + SystemErrorText(error);
}

class TWin32File : public TFileSink {
 public:
  TWin32File(HANDLE file, std::string path) : FFile(file), FPath(std::move(path)) {}
  std::string Write(const char* data, std::size_t size) override {
    while (size > 0) {
      DWORD written = 0;
      const DWORD piece = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
      if (!WriteFile(FFile.Get(), data, piece, &written, nullptr) || written == 0)
        return Failure("could not write", FPath, GetLastError());
      data += written;
      size -= written;
    }
    return "";
  }
  // A full disk fails the write itself: no flush (it would cost a disk
  // round trip for each of some hundred files).
  std::string Close() override {
    FFile.Close();
    return "";
  }

 private:
  TScopedHandle FFile;
  std::string FPath;
};

}  // namespace

TFolderOps::TKind TSystemFolderOps::KindOf(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return TKind::None;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? TKind::Folder : TKind::File;
}

std::string TSystemFolderOps::MakeFolder(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) ? "" : Failure("could not make", path, GetLastError());
}

std::string TSystemFolderOps::NewFile(const std::string& path, std::unique_ptr<TFileSink>& file) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Failure("could not create", path, GetLastError());
  file = std::make_unique<TWin32File>(handle, path);
  return "";
}

std::string TSystemFolderOps::Move(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING: what is at to stays and the move fails.
  return MoveFileExA(from.c_str(), to.c_str(), 0) ? "" : Failure("could not move " + from + " to", to, GetLastError());
}

std::string TSystemFolderOps::RemoveAll(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failure("could not remove", path, GetLastError());
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return DeleteFileA(path.c_str()) ? "" : Failure("could not remove", path, GetLastError());
  // A junction or folder link goes, never what it points at.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    return RemoveDirectoryA(path.c_str()) ? "" : Failure("could not remove", path, GetLastError());
  std::string error;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    std::unique_ptr<void, BOOL (*)(HANDLE)> closer(search, FindClose);
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string inner = RemoveAll(path + "\\" + name);
      if (error.empty()) error = inner;
    } while (FindNextFileA(search, &found));
  }
  if (!error.empty()) return error;
  return RemoveDirectoryA(path.c_str()) ? "" : Failure("could not remove", path, GetLastError());
}
