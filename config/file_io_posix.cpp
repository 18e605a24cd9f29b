// file_io_posix.cpp - whole-file access and directory creation with POSIX
// calls; failures carry errno's text.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "base/scoped_fd_posix.h"
#include "config/file_io.h"

namespace {

fileio::TOsError Failure(int code, bool opened) {
  if (code == 0) code = EIO;
  return {code, std::generic_category().message(code), opened};
}

// errno as the Windows code of the same cause, for the input/output error texts.
int WindowsCodeOf(int error) {
  switch (error) {
    case EEXIST: return 183;        // ERROR_ALREADY_EXISTS
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

bool StatOf(const std::string& path, struct stat& info) { return ::stat(path.c_str(), &info) == 0; }

}  // namespace

namespace fileio {

bool IsFile(const std::string& path) {
  struct stat info;
  return StatOf(path, info) && !S_ISDIR(info.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat info;
  return StatOf(path, info) && S_ISDIR(info.st_mode);
}

TOsError LoadBytes(const std::string& path, std::string& content) {
  TScopedFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.Valid()) return Failure(errno, false);
  content.clear();
  char buffer[65536];
  for (;;) {
    ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Failure(errno, true);
    if (got == 0) return {};
    content.append(buffer, static_cast<std::size_t>(got));
  }
}

TOsError StoreBytes(const std::string& path, const std::string& content) {
  TScopedFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!file.Valid()) return Failure(errno, false);
  std::size_t done = 0;
  while (done < content.size()) {
    ssize_t put = ::write(file.Get(), content.data() + done, content.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return Failure(put < 0 ? errno : ENOSPC, true);
    done += static_cast<std::size_t>(put);
  }
  if (file.Close() != 0) return Failure(errno, true);
  return {};
}

TOsError MakeDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return {};
  int error = errno;
  return {WindowsCodeOf(error), std::generic_category().message(error), false};
}

}  // namespace fileio
