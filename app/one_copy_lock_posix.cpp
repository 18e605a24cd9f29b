// one_copy_lock_posix.cpp - TOneCopyLock: the lock file and the holder's record.
#include "app/one_copy_lock_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "app/run_mode.h"
#include "base/constants.h"
#include "base/text.h"

namespace {

std::string LockPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string dir = runtime != nullptr && *runtime != 0 ? runtime : "/tmp";
  return dir + "/" + kOneCopyMutexName;
}

// The whole record, or "" while the holder has not finished writing it: a
// record ends with the line break after its second line.
std::string ReadRecord(int fd) {
  char buffer[8192];
  ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
  if (n <= 0) return "";
  std::string record(buffer, static_cast<std::size_t>(n));
  std::size_t first = record.find('\n');
  return first != std::string::npos && record.find('\n', first + 1) == record.size() - 1 ? record : "";
}

// The file in /tmp may belong to someone else: no control bytes reach the terminal.
std::string Printable(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return text;
}

// The holder publishes once its server has started, which takes a moment: a
// few seconds at most are waited for.
std::string AwaitRecord(int fd) {
  for (int i = 0; i < 50; ++i) {
    std::string record = ReadRecord(fd);
    if (!record.empty()) return record;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return "";
}

// The address ends the line, so that a full stop is not copied with it.
std::string HolderText(const std::string& record) {
  std::string said = std::string(kApplicationTitle) + " is already running";
  if (record.empty()) return said + ".";
  const auto [address, rest] = text::Cut(record, "\n");
  said += " (application directory " + Printable(text::Cut(rest, "\n").first) + ")";
  if (address.empty())
    return said + ", but it is not serving: port " + std::to_string(kServerPort) + " could not be bound.";
  return said + "; it serves at " + Printable(address);
}

// Replaces the file's content; false when it could not, which only costs a
// second copy its message's address.
bool WriteRecord(int fd, const std::string& record) {
  if (::ftruncate(fd, 0) != 0) return false;
  return ::pwrite(fd, record.data(), record.size(), 0) == static_cast<ssize_t>(record.size());
}

}  // namespace

TOneCopyLock::TOneCopyLock() : FPath(LockPath()) {
  // No symlinks: /tmp is shared, and the lock must not open someone else's file.
  // Another user's lock file opens read-only: it still locks, without a record.
  FFile.Reset(::open(FPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
  if (!FFile.Valid()) FFile.Reset(::open(FPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
  if (!FFile.Valid()) FOpenError = errno;
  FOwned = FFile.Valid() && ::flock(FFile.Get(), LOCK_EX | LOCK_NB) == 0;
  // The record of a copy that has ended must not be taken for this one's.
  if (FOwned) WriteRecord(FFile.Get(), "");
}

void TOneCopyLock::Publish(const std::string& address, const std::string& appDir) {
  if (FOwned) WriteRecord(FFile.Get(), address + "\n" + appDir + "\n");
}

void TOneCopyLock::ReportHolder() const {
  // A lock that cannot be opened counts as a running copy; the user learns why.
  if (!FFile.Valid()) {
    std::fprintf(stderr, "%s cannot open its lock file %s (%s): taken as a copy already running.\n",
                 kApplicationTitle, FPath.c_str(), std::strerror(FOpenError));
    return;
  }
  std::fprintf(stderr, "%s\n", HolderText(AwaitRecord(FFile.Get())).c_str());
}
