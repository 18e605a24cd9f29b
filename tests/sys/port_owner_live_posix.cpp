// port_owner_live_posix.cpp - FindPortOwner, FreePort and KillProcess against
// real processes on Linux.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "sys/port_owner.h"

namespace {

constexpr int kFirstPort = 40000, kPortCount = 10000;
constexpr std::size_t kHeldMemory = 256u << 20;

bool BindLoopback(int s, int family, int port) {
  if (family == AF_INET6) {
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_port = htons(static_cast<std::uint16_t>(port));
    a.sin6_addr = in6addr_loopback;
    return ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

// A forked child that listens on a free port in 40000-49999 until it is killed
// (or for 30 s at most). Killed and reaped at the end if still there. With
// mainThreadLeaves, a second thread holds the port and the first one exits.
class TListenerChild {
 public:
  explicit TListenerChild(int family, bool mainThreadLeaves = false) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    FPid = ::fork();
    if (FPid == 0) {
      ::close(ready[0]);
      RunChild(family, ready[1], mainThreadLeaves);
    }
    ::close(ready[1]);
    pollfd wait{ready[0], POLLIN, 0};
    if (FPid > 0 && ::poll(&wait, 1, 5000) == 1 && ::read(ready[0], &FPort, sizeof FPort) != sizeof FPort) FPort = 0;
    ::close(ready[0]);
  }
  ~TListenerChild() {
    if (FPid <= 0 || Reaped()) return;
    ::kill(FPid, SIGKILL);
    ::waitpid(FPid, nullptr, 0);
  }

  pid_t Pid() const { return FPid; }
  int Port() const { return FPort; }

  // Waits up to 5 s for the child to end; true when it was ended by SIGKILL.
  bool WaitKilled() {
    for (int i = 0; i < 500; ++i) {
      if (Reaped()) return WIFSIGNALED(FStatus) && WTERMSIG(FStatus) == SIGKILL;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

 private:
  [[noreturn]] static void RunChild(int family, int ready, bool mainThreadLeaves) {
    ::alarm(30);  // never outlives a failed test by long
    int s = ::socket(family, SOCK_STREAM, 0);
    for (int i = 0; i < kPortCount; ++i) {
      int port = kFirstPort + (static_cast<int>(::getpid()) + i) % kPortCount;
      if (BindLoopback(s, family, port) && ::listen(s, 1) == 0) {
        if (mainThreadLeaves) LeaveToSecondThread(ready, port);
        (void)!::write(ready, &port, sizeof port);
        for (;;) ::pause();
      }
    }
    ::_exit(1);
  }

  // The process's first thread shows as a zombie once it has ended.
  static bool FirstThreadEnded() {
    std::ifstream stat("/proc/self/stat");
    std::string line;
    return std::getline(stat, line) && line.find(") Z ") != std::string::npos;
  }

  // The first thread ends; a second one tells the port once it has, and holds
  // it. Memory in use is given back before descriptors are closed, which
  // widens the gap between the first thread's end and the port's.
  [[noreturn]] static void LeaveToSecondThread(int ready, int port) {
    static struct {
      int ready, port;
    } handover{ready, port};
    ::mmap(nullptr, kHeldMemory, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    pthread_t second;
    ::pthread_create(&second, nullptr, [](void*) -> void* {
      while (!FirstThreadEnded()) ::usleep(1000);
      (void)!::write(handover.ready, &handover.port, sizeof handover.port);
      for (;;) ::pause();
    }, nullptr);
    // pthread_exit would unwind into the test framework's catch-all.
    for (;;) ::syscall(SYS_exit, 0);
  }

  bool Reaped() {
    if (FReaped) return true;
    FReaped = ::waitpid(FPid, &FStatus, WNOHANG) == FPid;
    return FReaped;
  }

  pid_t FPid = -1;
  int FPort = 0;
  int FStatus = 0;
  bool FReaped = false;
};

class PortOwnerLive : public testing::TestWithParam<int> {};

TEST_P(PortOwnerLive, FindsTheListenerAndFreePortEndsIt) {
  TListenerChild child(GetParam());
  ASSERT_GT(child.Pid(), 0);
  ASSERT_NE(child.Port(), 0) << "the child found no free port";
  EXPECT_EQ(FindPortOwner(child.Port()), child.Pid());

  FreePort(child.Port());
  EXPECT_TRUE(child.WaitKilled());
  EXPECT_EQ(FindPortOwner(child.Port()), 0);
  int s = ::socket(GetParam(), SOCK_STREAM, 0);
  EXPECT_TRUE(BindLoopback(s, GetParam(), child.Port()));
  ::close(s);
}

INSTANTIATE_TEST_SUITE_P(Families, PortOwnerLive, testing::Values(AF_INET, AF_INET6),
                         [](const testing::TestParamInfo<int>& param) {
                           return param.param == AF_INET ? std::string("IPv4") : std::string("IPv6");
                         });

TEST(PortOwner, AFreePortHasNoOwner) {
  // Any port this process can bind now has no listener.
  int s = ::socket(AF_INET, SOCK_STREAM, 0);
  int port = 0;
  for (int p = kFirstPort + static_cast<int>(::getpid()) % kPortCount, i = 0; i < 100 && port == 0; ++i, ++p)
    if (BindLoopback(s, AF_INET, p)) port = p;
  ::close(s);
  ASSERT_NE(port, 0);
  EXPECT_EQ(FindPortOwner(port), 0);
}

// The first thread turns zombie before the others have closed what they share:
// the port is free only once they are gone, and the caller binds at once.
TEST(KillProcess, ReturnsOnlyWhenEveryThreadHasLetGoOfThePort) {
  TListenerChild child(AF_INET, true);
  ASSERT_NE(child.Port(), 0) << "the child found no free port";
  KillProcess(child.Pid());
  int s = ::socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_TRUE(BindLoopback(s, AF_INET, child.Port()));
  ::close(s);
}

TEST(KillProcess, IdsThatNameProcessGroupsAreRefused) {
  // Run in a process group of its own, so a group-wide kill would end only it.
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::setpgid(0, 0);
    KillProcess(0);
    ::_exit(7);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7);
}

}  // namespace
