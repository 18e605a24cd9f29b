// file_reader_posix.cpp - file reads over POSIX descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/scoped_fd_posix.h"
#include "net/exceptions.h"
#include "net/file_reader.h"

struct TIdFileReader::TOpenFile {
  TScopedFd Fd;
};

TIdFileReader::TIdFileReader(const std::string& path) {
  TScopedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) {
    if (errno == ENOENT || errno == ENOTDIR) throw EIdFileNotFound(path);
    throw EFOpenError(path, std::strerror(errno));
  }
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) throw EIdFileNotFound(path);
  FSize = st.st_size;
  FFile = std::make_unique<TOpenFile>(TOpenFile{std::move(fd)});
}

TIdFileReader::~TIdFileReader() = default;

std::int64_t TIdFileReader::Size() const { return FSize; }

int TIdFileReader::Read(void* buffer, int count) {
  for (;;) {
    ssize_t r = ::read(FFile->Fd.Get(), buffer, static_cast<size_t>(count));
    if (r >= 0) return static_cast<int>(r);
    if (errno != EINTR) return -1;
  }
}

bool TIdFileReader::Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Linux has no sharing modes to honour: the size comes from the name alone.
std::int64_t TIdFileReader::SizeByPath(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) throw EFOpenError(path, std::strerror(errno));
  return st.st_size;
}
