// scoped_fd_posix.h - TScopedFd: the one owner of a POSIX file descriptor.
#pragma once
#include <unistd.h>

#include <utility>

class TScopedFd {
 public:
  TScopedFd() = default;
  explicit TScopedFd(int fd) : FFd(fd) {}
  ~TScopedFd() { Close(); }
  TScopedFd(TScopedFd&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
  TScopedFd& operator=(TScopedFd&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.FFd, -1));
    return *this;
  }

  int Get() const { return FFd; }
  bool Valid() const { return FFd >= 0; }
  void Reset(int fd) {
    Close();
    FFd = fd;
  }
  // The result of close(): where some file systems report a failed write.
  int Close() {
    if (FFd < 0) return 0;
    return ::close(std::exchange(FFd, -1));
  }

 private:
  int FFd = -1;
};
