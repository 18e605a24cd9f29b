// port_owner_posix.cpp - the process listening on a port on Linux: the kernel's
// TCP tables give the listening sockets' inodes, /proc/<pid>/fd their holders.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "sys/port_owner.h"

namespace {

struct TCloseDir {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using TDirectory = std::unique_ptr<DIR, TCloseDir>;

std::string ReadProcFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  return text.str();
}

bool IsProcessId(const char* name) {
  if (*name == 0) return false;
  for (; *name != 0; ++name)
    if (*name < '0' || *name > '9') return false;
  return true;
}

// Whether the process holds a descriptor of the socket with that inode.
bool Holds(int processId, std::uint64_t inode) {
  std::string fdPath = "/proc/" + std::to_string(processId) + "/fd";
  TDirectory fds(::opendir(fdPath.c_str()));
  if (!fds) return false;  // another user's process, or gone meanwhile
  while (dirent* entry = ::readdir(fds.get())) {
    char target[64];
    ssize_t n = ::readlinkat(::dirfd(fds.get()), entry->d_name, target, sizeof target - 1);
    if (n > 0 && port_owner::SocketInode(std::string(target, static_cast<std::size_t>(n))) == inode) return true;
  }
  return false;
}

// The first process (in /proc order) seen holding the socket; 0 when no holder
// is visible to this user.
int SocketHolder(std::uint64_t inode) {
  TDirectory proc(::opendir("/proc"));
  if (!proc) return 0;
  while (dirent* entry = ::readdir(proc.get()))
    if (IsProcessId(entry->d_name) && Holds(std::atoi(entry->d_name), inode)) return std::atoi(entry->d_name);
  return 0;
}

}  // namespace

// The first listening entry, IPv4 table first, decides, as the first
// listening line of netstat does on Windows.
int FindPortOwner(int port) {
  std::vector<std::uint64_t> inodes = port_owner::ListeningInodes(ReadProcFile("/proc/net/tcp"), port);
  if (inodes.empty()) inodes = port_owner::ListeningInodes(ReadProcFile("/proc/net/tcp6"), port);
  return inodes.empty() ? 0 : SocketHolder(inodes.front());
}
