// test_host_posix.cpp - the gateway tests' machine on Linux.
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "gateway/test_host.h"

namespace {

bool WriteProcFile(const char* path, const std::string& text) {
  int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return ok;
}

bool LoopbackUp() {
  int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  bool ok = ::ioctl(s, SIOCGIFFLAGS, &request) == 0;
  request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
  ok = ok && ::ioctl(s, SIOCSIFFLAGS, &request) == 0;
  ::close(s);
  return ok;
}

// Without root, a user namespace brings the right to make the network one.
bool EnterAsUser() {
  const uid_t uid = ::getuid();
  const gid_t gid = ::getgid();
  if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) return false;
  WriteProcFile("/proc/self/setgroups", "deny");
  return WriteProcFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1") &&
         WriteProcFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1");
}

}  // namespace

bool EnterPrivateNetwork() {
  if (::unshare(CLONE_NEWNET) != 0 && !EnterAsUser()) return false;
  return LoopbackUp();
}

int GatewayTestPort() { return 60001; }

int ChildProcessCount() {
  const std::string self = std::to_string(::getpid());
  int count = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (name) state ppid ...: the name may hold spaces, so read after ")".
    std::size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    std::string ppid;
    std::istringstream rest(line.substr(close + 1));
    rest >> state >> ppid;
    if (ppid == self) ++count;
  }
  return count;
}
