// port_owner_posix.cpp - the process listening on a port on Linux: the kernel's
// TCP tables give the listening sockets' inodes, /proc/<pid>/fd their holders.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "sys/ostrel_system.h"
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

// Records, for each wanted inode that the process holds, the process as its holder
// unless one was found before.
void NoteHolder(int processId, std::map<std::uint64_t, int>& holders) {
  std::string fdPath = "/proc/" + std::to_string(processId) + "/fd";
  TDirectory fds(::opendir(fdPath.c_str()));
  if (!fds) return;  // another user's process, or gone meanwhile
  while (dirent* entry = ::readdir(fds.get())) {
    char target[64];
    ssize_t n = ::readlinkat(::dirfd(fds.get()), entry->d_name, target, sizeof target - 1);
    if (n <= 0) continue;
    auto holder = holders.find(port_owner::SocketInode(std::string(target, static_cast<std::size_t>(n))));
    if (holder != holders.end() && holder->second == 0) holder->second = processId;
  }
}

// Maps each inode to the first process (in /proc order) seen holding it; 0 when
// no holder is visible to this user.
std::map<std::uint64_t, int> SocketHolders(const std::vector<std::uint64_t>& inodes) {
  std::map<std::uint64_t, int> holders;
  for (std::uint64_t inode : inodes) holders.emplace(inode, 0);
  TDirectory proc(::opendir("/proc"));
  if (!proc) return holders;
  while (dirent* entry = ::readdir(proc.get()))
    if (IsProcessId(entry->d_name)) NoteHolder(std::atoi(entry->d_name), holders);
  return holders;
}

}  // namespace

int TOstrelSystem::FindPortOwner(int port) {
  std::vector<std::uint64_t> inodes = port_owner::ListeningInodes(ReadProcFile("/proc/net/tcp"), port);
  for (std::uint64_t inode : port_owner::ListeningInodes(ReadProcFile("/proc/net/tcp6"), port))
    inodes.push_back(inode);
  if (inodes.empty()) return 0;
  std::map<std::uint64_t, int> holders = SocketHolders(inodes);
  for (std::uint64_t inode : inodes)
    if (holders[inode] != 0) return holders[inode];
  return 0;
}
