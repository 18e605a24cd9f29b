// folder_ops_posix.cpp - the set-up's file-system steps on Linux, where only
// the tests use them.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "base/scoped_fd_posix.h"
#include "getphp/folder_ops.h"

namespace {

std::string Failure(const std::string& what, const std::string& path, int error) {
  return what + " " + path + ": " + std::strerror(error);
}

class TPosixFile : public TFileSink {
 public:
  TPosixFile(int fd, std::string path) : FFd(fd), FPath(std::move(path)) {}
  std::string Write(const char* data, std::size_t size) override {
    while (size > 0) {
      ssize_t n = ::write(FFd.Get(), data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return Failure("could not write", FPath, errno);
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return "";
  }
  std::string Close() override { return FFd.Close() == 0 ? "" : Failure("could not write", FPath, errno); }

 private:
  TScopedFd FFd;
  std::string FPath;
};

}  // namespace

TFolderOps::TKind TSystemFolderOps::KindOf(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return TKind::None;
  return S_ISDIR(st.st_mode) ? TKind::Folder : TKind::File;
}

std::string TSystemFolderOps::MakeFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0755) == 0 ? "" : Failure("could not make", path, errno);
}

std::string TSystemFolderOps::NewFile(const std::string& path, std::unique_ptr<TFileSink>& file) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return Failure("could not create", path, errno);
  file = std::make_unique<TPosixFile>(fd, path);
  return "";
}

std::string TSystemFolderOps::Move(const std::string& from, const std::string& to) {
  // rename() would replace what is at to; only the set-up writes these folders.
  if (KindOf(to) != TKind::None) return Failure("could not move " + from + " to", to, EEXIST);
  return ::rename(from.c_str(), to.c_str()) == 0 ? "" : Failure("could not move " + from + " to", to, errno);
}

std::string TSystemFolderOps::RemoveAll(const std::string& path) {
  if (KindOf(path) != TKind::Folder) return ::unlink(path.c_str()) == 0 ? "" : Failure("could not remove", path, errno);
  std::string error;
  if (std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), ::closedir); dir) {
    while (dirent* entry = ::readdir(dir.get())) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      std::string inner = RemoveAll(path + "/" + name);
      if (error.empty()) error = inner;
    }
  }
  if (!error.empty()) return error;
  return ::rmdir(path.c_str()) == 0 ? "" : Failure("could not remove", path, errno);
}
