// port_owner_live_win32.cpp - FindPortOwner against this process's own
// listening socket, through the real netstat.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "base/program_env.h"
#include "sys/console.h"
#include "sys/port_owner.h"

namespace {

constexpr int kFirstPort = 40000, kPortCount = 10000;

// A socket listening on a free 127.0.0.1 port in 40000-49999.
class TListener {
 public:
  TListener() {
    WSADATA data;
    FStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    FSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    for (int i = 0; i < kPortCount && FSocket != INVALID_SOCKET; ++i) {
      int port = kFirstPort + (static_cast<int>(GetCurrentProcessId()) + i) % kPortCount;
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_port = htons(static_cast<u_short>(port));
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (bind(FSocket, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(FSocket, 1) == 0) {
        FPort = port;
        break;
      }
    }
  }
  ~TListener() {
    if (FSocket != INVALID_SOCKET) closesocket(FSocket);
    if (FStarted) WSACleanup();
  }
  int Port() const { return FPort; }

 private:
  bool FStarted = false;
  SOCKET FSocket = INVALID_SOCKET;
  int FPort = 0;
};

// One netstat run decides: Wine's netstat ignores -o (no "PID" column) and
// lists no listening sockets, so there the lookup cannot be exercised end to end.
TEST(PortOwnerLive, FindsThisProcessListeningAndNoOwnerOfAFreePort) {
  int freePort;
  {
    TListener probe;
    freePort = probe.Port();
  }
  TListener listener;
  ASSERT_NE(listener.Port(), 0);
  ASSERT_NE(freePort, 0);
  std::string listing = RunConsoleCommand("netstat -a -n -o", false);
  if (listing.find("PID") == std::string::npos || listing.find("LISTENING") == std::string::npos)
    GTEST_SKIP() << "this netstat prints no process ids or no listening sockets (Wine's netstat ignores -o and "
                    "lists no listening sockets); the listing reader is covered by the NetstatListing tests";
  EXPECT_EQ(FindPortOwner(listener.Port()), static_cast<int>(GetCurrentProcessId()));
  if (freePort != listener.Port()) {
    EXPECT_EQ(FindPortOwner(freePort), 0);
  }
}

TEST(KillProcess, EndsAProcessById) {
  std::string exe = GetExePath();
  std::string child = exe.substr(0, exe.rfind('\\') + 1) + "console_child.exe";
  std::string commandLine = "\"" + child + "\" sleep:20000";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                             nullptr, &si, &pi));
  KillProcess(static_cast<int>(pi.dwProcessId));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 5000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace
