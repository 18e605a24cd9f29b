// loopback_client_win32.cpp - the test client over WinSock 2.
#include <winsock2.h>
#include <ws2tcpip.h>


#include "support/loopback_client.h"

namespace {

constexpr std::intptr_t kNone = static_cast<std::intptr_t>(INVALID_SOCKET);

SOCKET Sock(std::intptr_t s) { return static_cast<SOCKET>(s); }

sockaddr_in Address(u_long hostOrderIp, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(hostOrderIp);
  a.sin_port = htons(static_cast<u_short>(port));
  return a;
}

// Each object keeps WinSock started for its own life; the library counts.
void StartWinsock() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
}

}  // namespace

TLoopbackClient::TLoopbackClient() : FSocket(kNone) { StartWinsock(); }

TLoopbackClient::~TLoopbackClient() {
  Close();
  WSACleanup();
}

bool TLoopbackClient::Connect(int port, int recvBuffer, const char* from) {
  Close();
  FSocket = static_cast<std::intptr_t>(::socket(AF_INET, SOCK_STREAM, 0));
  if (FSocket == kNone) return false;
  if (recvBuffer > 0)
    ::setsockopt(Sock(FSocket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&recvBuffer), sizeof recvBuffer);
  if (*from != '\0') {
    sockaddr_in source = Address(ntohl(::inet_addr(from)), 0);
    if (::bind(Sock(FSocket), reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) return false;
  }
  sockaddr_in a = Address(INADDR_LOOPBACK, port);
  return ::connect(Sock(FSocket), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

bool TLoopbackClient::Send(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    int n = ::send(Sock(FSocket), bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

int TLoopbackClient::Receive(std::string& out, int timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(Sock(FSocket), &set);
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  if (::select(0, &set, nullptr, nullptr, &tv) != 1) return -1;
  char buffer[65536];
  int n = ::recv(Sock(FSocket), buffer, sizeof buffer, 0);
  if (n > 0) out.append(buffer, static_cast<std::size_t>(n));
  return n < 0 ? -1 : n;
}

bool TLoopbackClient::WasReset() { return ::send(Sock(FSocket), "x", 1, 0) == SOCKET_ERROR; }

void TLoopbackClient::ShutdownSend() { ::shutdown(Sock(FSocket), SD_SEND); }

void TLoopbackClient::Reset() {
  linger l{1, 0};
  ::setsockopt(Sock(FSocket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
  Close();
}

void TLoopbackClient::Close() {
  if (FSocket == kNone) return;
  ::closesocket(Sock(FSocket));
  FSocket = kNone;
}

// WinSock cannot tell; the program holds nothing back there.
int UnsentBytes(std::intptr_t) { return -1; }

TLoopbackListener::TLoopbackListener() {
  StartWinsock();
  FSocket = static_cast<std::intptr_t>(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in a = Address(INADDR_ANY, 0);
  int n = sizeof a;
  if (FSocket == kNone || ::bind(Sock(FSocket), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(Sock(FSocket), 4) != 0 || ::getsockname(Sock(FSocket), reinterpret_cast<sockaddr*>(&a), &n) != 0)
    return;
  FPort = ntohs(a.sin_port);
}

TLoopbackListener::~TLoopbackListener() {
  Close();
  WSACleanup();
}

void TLoopbackListener::Close() {
  if (FSocket == kNone) return;
  ::closesocket(Sock(FSocket));
  FSocket = kNone;
}
