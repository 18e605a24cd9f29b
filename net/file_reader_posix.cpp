// file_reader_posix.cpp - file reads over POSIX descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "net/exceptions.h"
#include "net/file_reader.h"

TIdFileReader::TIdFileReader(const std::string& path) {
  FHandle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (FHandle < 0) throw EFOpenError(path, std::strerror(errno));
}

TIdFileReader::~TIdFileReader() { ::close(static_cast<int>(FHandle)); }

std::int64_t TIdFileReader::Size() const {
  struct stat st;
  return ::fstat(static_cast<int>(FHandle), &st) == 0 ? st.st_size : 0;
}

int TIdFileReader::Read(void* buffer, int count) {
  for (;;) {
    ssize_t r = ::read(static_cast<int>(FHandle), buffer, static_cast<size_t>(count));
    if (r >= 0) return static_cast<int>(r);
    if (errno != EINTR) return -1;
  }
}

bool TIdFileReader::Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::int64_t TIdFileReader::SizeByPath(const std::string& path) { return TIdFileReader(path).Size(); }
