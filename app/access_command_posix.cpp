// access_command_posix.cpp - "--access" on Linux.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/access_command.h"
#include "base/constants.h"
#include "base/deadline.h"
#include "base/native_fs.h"
#include "base/native_fs_posix.h"
#include "base/scoped_fd_posix.h"
#include "config/host_network.h"
#include "config/site_access.h"

namespace {

bool Complain(const std::string& what, const std::string& why) {
  std::fprintf(stderr, "ostrel: cannot set the site's access: %s: %s\n", what.c_str(), why.c_str());
  return false;
}

unsigned char RandomByte() {
  unsigned char byte = 0;
  while (getrandom(&byte, 1, 0) != 1) {
  }
  return byte;
}

// The site's pages take the same lock (PHP's flock) around every change, and
// wait for it as long: a holder that never lets go ends the command, not the
// wait. why: the reason there is none.
TScopedFd LockState(const std::string& dir, std::string& why) {
  if (const native_fs::TOsError made = native_fs::MakeDirectory(dir, 0700);
      made.Failed() && made.code != native_fs::kAlreadyExists) {
    why = made.text;
    return TScopedFd();
  }
  // O_NONBLOCK: a pipe planted there opens at once, and is then refused.
  TScopedFd lock(::open((dir + "/" + kSiteLockFile).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                        0600));
  struct stat st;
  if (!lock.Valid() || ::fstat(lock.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    why = std::string("its lock file ") + kSiteLockFile + " is not a plain file, or cannot be opened";
    return TScopedFd();
  }
  const TDeadline deadline = TDeadline::In(kSiteLockWaitMs);
  while (::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
    if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.Passed()) {
      why = errno == EWOULDBLOCK ? "the site is busy (its lock stayed taken), try again" : std::strerror(errno);
      return TScopedFd();
    }
    ::usleep(10000);
  }
  return lock;
}

// The one the running program gives out: Setup.ini's pick while the machine has it.
std::string ServerAddress() {
  return "http://" + OfferedAddresses().front().IP + ":" + std::to_string(kServerPort);
}

}  // namespace

bool SetSiteMode(const std::string& mode) {
  const std::string dir = SiteStateDir();
  std::string why;
  TScopedFd lock = LockState(dir, why);
  if (!lock.Valid()) return Complain(dir, why);
  const std::string path = dir + "/" + kSiteAccessFile;
  std::string text;
  // Whatever is there that cannot be read as a plain file (a pipe, a link) is
  // damage, which the mode set now answers: it starts afresh.
  if (native_fs::LoadPlainBytes(path, text).Failed()) text.clear();
  // Whole or not at all: the pages never read half a file.
  const std::string changed = WithSiteMode(text, mode, [] { return MakeCode(RandomByte); });
  if (const native_fs::TOsError error = native_fs::ReplaceBytes(path, changed); error.Failed())
    return Complain(path, error.text);
  std::printf("Access: %s\n", mode.c_str());
  std::fflush(stdout);
  return true;
}

bool PrintSiteAccess() {
  const TSiteAccess access = LoadSiteAccess();
  const char* what = access.Mode == "open"   ? "anyone who can reach this computer comes in"
                     : access.Mode == "code" ? "visitors need the code, which the address below carries"
                                             : "you let each new device in on the host page";
  std::printf("Access: %s - %s\n", access.Mode.c_str(), what);
  if (access.Damaged)
    std::printf("The site's access settings in %s were found damaged: nobody comes in without your approval until "
                "you set them again (--access, or the host page).\n", SiteStateDir().c_str());
  std::printf("Tell this URL to your friends: %s\n", AddressToHandOut(ServerAddress(), access).c_str());
  std::printf("Host page (on this computer only): http://127.0.0.1:%d/host.php\n", kServerPort);
  std::fflush(stdout);
  return true;
}
