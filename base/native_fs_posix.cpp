// native_fs_posix.cpp - the file system on Linux: "/" separators, names
// compared exactly, UTF-8 text, errno's texts.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <system_error>
#include <vector>

#include "base/native_fs.h"
#include "base/native_fs_posix.h"
#include "base/scoped_fd_posix.h"

namespace native_fs {
namespace {

TOsError Failure(int code, bool opened) {
  if (code == 0) code = EIO;
  return {code, std::generic_category().message(code), opened, false};
}

// errno as the Windows code of the same cause, for the input/output error texts.
int WindowsCodeOf(int error) {
  switch (error) {
    case EEXIST: return kAlreadyExists;
    case ENOENT:
    case ENOTDIR: return 3;         // ERROR_PATH_NOT_FOUND
    case EACCES:
    case EPERM:
    case EROFS: return 5;           // ERROR_ACCESS_DENIED
    case EMFILE:
    case ENFILE: return 4;          // ERROR_TOO_MANY_OPEN_FILES
    case ENOSPC:
    case EDQUOT: return 112;        // ERROR_DISK_FULL
    case ENAMETOOLONG: return 206;  // ERROR_FILENAME_EXCED_RANGE
    case EIO: return 1117;          // ERROR_IO_DEVICE
    default: return error;
  }
}

TOsError WriteAll(int fd, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    ssize_t put = ::write(fd, data + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return Failure(put < 0 ? errno : ENOSPC, true);
    done += static_cast<std::size_t>(put);
  }
  return {};
}

// The failure of the entry at path, kept in failedAt.
TOsError FailureAt(const std::string& path, std::string& failedAt) {
  const int error = errno;
  failedAt = path;
  return Failure(error, false);
}

}  // namespace

// ---- What is at a path ----

TPathKind KindOf(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return TPathKind::None;
  if (S_ISREG(st.st_mode)) return TPathKind::File;
  return S_ISDIR(st.st_mode) ? TPathKind::Directory : TPathKind::None;
}

TPathKind EntryKindOf(const std::string& path) {
  struct stat st;
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) return TPathKind::None;
  return S_ISDIR(st.st_mode) ? TPathKind::Directory : TPathKind::File;
}

bool FileExists(const std::string& path) { return KindOf(path) == TPathKind::File; }

bool DirectoryExists(const std::string& path) { return KindOf(path) == TPathKind::Directory; }

std::vector<std::string> FileNamesIn(const std::string& dir) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(dir.c_str()), ::closedir);
  if (listing == nullptr) return names;
  while (const dirent* entry = ::readdir(listing.get()))
    if (KindOf(dir + "/" + entry->d_name) == TPathKind::File) names.emplace_back(entry->d_name);
  return names;
}

bool EntryNamesIn(const std::string& dir, std::vector<std::string>& names) {
  names.clear();
  std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(dir.c_str()), ::closedir);
  if (listing == nullptr) return false;
  while (const dirent* entry = ::readdir(listing.get()))
    if (const std::string name = entry->d_name; name != "." && name != "..") names.push_back(name);
  return true;
}

bool ModifiedAt(const std::string& path, std::chrono::system_clock::time_point& at) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  const auto since1970 = std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec);
  at = std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(since1970));
  return true;
}

// ---- Reading, writing, making and removing ----

namespace {

TOsError ReadToEnd(int fd, std::string& content) {
  content.clear();
  char buffer[65536];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Failure(errno, true);
    if (got == 0) return {};
    content.append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace

TOsError LoadBytes(const std::string& path, std::string& content) {
  TScopedFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.Valid()) return Failure(errno, false);
  return ReadToEnd(file.Get(), content);
}

TOsError LoadPlainBytes(const std::string& path, std::string& content) {
  // O_NONBLOCK: a pipe opens at once, without a writer, and is then refused.
  TScopedFd file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file.Valid()) {
    TOsError error = Failure(errno, false);
    error.missing = errno == ENOENT || errno == ENOTDIR;
    return error;
  }
  struct stat st;
  if (::fstat(file.Get(), &st) != 0) return Failure(errno, true);
  if (!S_ISREG(st.st_mode)) return Failure(EINVAL, true);
  return ReadToEnd(file.Get(), content);
}

TOsError StoreBytes(const std::string& path, const std::string& content) {
  TScopedFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!file.Valid()) return Failure(errno, false);
  if (TOsError error = WriteAll(file.Get(), content.data(), content.size()); error.Failed()) return error;
  if (file.Close() != 0) return Failure(errno, true);
  return {};
}

TOsError MakeDirectory(const std::string& path) { return MakeDirectory(path, 0777); }

TOsError MakeDirectory(const std::string& path, mode_t mode) {
  if (::mkdir(path.c_str(), mode) == 0) return {};
  int error = errno;
  return {WindowsCodeOf(error), std::generic_category().message(error), false, false};
}

TOsError MakeLink(const std::string& target, const std::string& link) {
  return ::symlink(target.c_str(), link.c_str()) == 0 ? TOsError{} : Failure(errno, false);
}

std::string CurrentDirectory() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

TOsError RealPath(const std::string& path, std::string& real) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer) == nullptr) return Failure(errno, false);
  real = buffer;
  return {};
}

TOsError CheckListable(const std::string& dir) {
  return ::access(dir.c_str(), R_OK | X_OK) == 0 ? TOsError{} : Failure(errno, false);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

TOsError Rename(const std::string& from, const std::string& to) {
  // rename() would replace what is at to.
  if (EntryKindOf(to) != TPathKind::None) return Failure(EEXIST, false);
  if (::rename(from.c_str(), to.c_str()) != 0) return Failure(errno, false);
  return {};
}

TOsError RemoveTree(const std::string& path, std::string& failedAt) {
  if (EntryKindOf(path) != TPathKind::Directory)
    return ::unlink(path.c_str()) == 0 ? TOsError{} : FailureAt(path, failedAt);
  TOsError first;
  if (std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), ::closedir); dir) {
    while (const dirent* entry = ::readdir(dir.get())) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      std::string at;
      const TOsError error = RemoveTree(path + "/" + name, at);
      if (error.Failed() && !first.Failed()) {
        first = error;
        failedAt = at;
      }
    }
  }
  if (first.Failed()) return first;
  return ::rmdir(path.c_str()) == 0 ? TOsError{} : FailureAt(path, failedAt);
}

TOsError ReplaceBytes(const std::string& path, const std::string& content) {
  const std::string temp = path + "." + std::to_string(::getpid()) + ".tmp";
  TScopedFd file(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!file.Valid()) return Failure(errno, false);
  TOsError error = WriteAll(file.Get(), content.data(), content.size());
  if (!error.Failed() && ::fsync(file.Get()) != 0) error = Failure(errno, true);
  if (!error.Failed() && file.Close() != 0) error = Failure(errno, true);
  if (!error.Failed() && ::rename(temp.c_str(), path.c_str()) != 0) error = Failure(errno, true);
  if (error.Failed()) ::unlink(temp.c_str());
  return error;
}

struct TWriteFile::TImpl {
  TScopedFd Fd;
};

TWriteFile::TWriteFile() : F(std::make_unique<TImpl>()) {}
TWriteFile::~TWriteFile() = default;

TOsError TWriteFile::Create(const std::string& path) {
  F->Fd.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  return F->Fd.Valid() ? TOsError{} : Failure(errno, false);
}

TOsError TWriteFile::Write(const char* data, std::size_t size) { return WriteAll(F->Fd.Get(), data, size); }

TOsError TWriteFile::Close() { return F->Fd.Close() == 0 ? TOsError{} : Failure(errno, true); }

struct TReadFile::TImpl {
  TScopedFd Fd;
  std::int64_t Size = 0;
};

TReadFile::TReadFile() : F(std::make_unique<TImpl>()) {}
TReadFile::~TReadFile() = default;

TOsError TReadFile::Open(const std::string& path) {
  // Linux has no sharing modes to honour. A named pipe would hold the open
  // until a writer came; without waiting it opens at once and is refused below.
  TScopedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.Valid()) {
    TOsError error = Failure(errno, false);
    error.missing = errno == ENOENT || errno == ENOTDIR;
    return error;
  }
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    TOsError error = Failure(ENOENT, true);
    error.missing = true;
    return error;
  }
  F->Size = st.st_size;
  F->Fd = std::move(fd);
  return {};
}

std::int64_t TReadFile::Size() const { return F->Size; }

int TReadFile::Read(void* buffer, int count) {
  for (;;) {
    ssize_t r = ::read(F->Fd.Get(), buffer, static_cast<size_t>(count));
    if (r >= 0) return static_cast<int>(r);
    if (errno != EINTR) return -1;
  }
}

TOsError SizeOf(const std::string& path, std::int64_t& size) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return Failure(errno, false);
  size = st.st_size;
  return {};
}

// ---- Path rules ----

std::string Combine(const std::string& fileName, const std::string& dir) {
  // A relative name with no folder stays relative, and is refused below.
  std::string joined = (!fileName.empty() && fileName[0] == '/') || dir.empty() ? fileName : dir + "/" + fileName;
  if (joined.empty() || joined[0] != '/') return "";  // only absolute paths are mapped
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i <= joined.size()) {
    std::size_t j = joined.find('/', i);
    if (j == std::string::npos) j = joined.size();
    std::string part = joined.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // never above the root
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  if (parts.empty()) return std::string(1, '/');
  std::string result;
  for (const auto& part : parts) result.append(1, '/').append(part);
  return result.size() >= 4096 ? std::string() : result;
}

bool IsInside(const std::string& root, const std::string& path) {
  if (root.empty() || path.compare(0, root.size(), root) != 0) return false;
  return path.size() == root.size() || root.back() == '/' || path[root.size()] == '/';
}

bool SamePath(const std::string& a, const std::string& b) { return a == b; }

bool IsPlainName(const std::string&) { return true; }

// The 8-bit code page here is UTF-8 itself, so the conversion never differs.
std::string Utf8ToAnsi(const std::string& utf8) { return utf8; }

}  // namespace native_fs
