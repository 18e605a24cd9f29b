// loopback_client_posix.cpp - the test client over BSD sockets.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "support/loopback_client.h"

namespace {

constexpr std::intptr_t kNone = -1;

int Fd(std::intptr_t s) { return static_cast<int>(s); }

sockaddr_in Address(std::uint32_t hostOrderIp, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(hostOrderIp);
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  return a;
}

}  // namespace

TLoopbackClient::TLoopbackClient() : FSocket(kNone) {}
TLoopbackClient::~TLoopbackClient() { Close(); }

bool TLoopbackClient::Connect(int port, int recvBuffer, const char* from) {
  Close();
  FSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (FSocket < 0) return false;
  if (recvBuffer > 0) ::setsockopt(Fd(FSocket), SOL_SOCKET, SO_RCVBUF, &recvBuffer, sizeof recvBuffer);
  if (*from != '\0') {
    sockaddr_in source = Address(ntohl(::inet_addr(from)), 0);
    if (::bind(Fd(FSocket), reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) return false;
  }
  sockaddr_in a = Address(INADDR_LOOPBACK, port);
  return ::connect(Fd(FSocket), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

bool TLoopbackClient::Send(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::send(Fd(FSocket), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

int TLoopbackClient::Receive(std::string& out, int timeoutMs) {
  pollfd p{Fd(FSocket), POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) != 1) return -1;
  char buffer[65536];
  ssize_t n = ::recv(Fd(FSocket), buffer, sizeof buffer, 0);
  if (n > 0) out.append(buffer, static_cast<std::size_t>(n));
  return n < 0 ? -1 : static_cast<int>(n);
}

bool TLoopbackClient::WasReset() { return ::send(Fd(FSocket), "x", 1, MSG_NOSIGNAL) < 0; }

void TLoopbackClient::ShutdownSend() { ::shutdown(Fd(FSocket), SHUT_WR); }

void TLoopbackClient::Reset() {
  linger l{1, 0};
  ::setsockopt(Fd(FSocket), SOL_SOCKET, SO_LINGER, &l, sizeof l);
  Close();
}

void TLoopbackClient::Close() {
  if (FSocket == kNone) return;
  ::close(Fd(FSocket));
  FSocket = kNone;
}

int UnsentBytes(std::intptr_t socket) {
  int unsent = 0;
  return ::ioctl(Fd(socket), SIOCOUTQNSD, &unsent) == 0 ? unsent : -1;
}

TLoopbackListener::TLoopbackListener() : FSocket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in a = Address(INADDR_ANY, 0);
  socklen_t n = sizeof a;
  if (FSocket < 0 || ::bind(Fd(FSocket), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(Fd(FSocket), 4) != 0 || ::getsockname(Fd(FSocket), reinterpret_cast<sockaddr*>(&a), &n) != 0)
    return;
  FPort = ntohs(a.sin_port);
}

TLoopbackListener::~TLoopbackListener() { Close(); }

void TLoopbackListener::Close() {
  if (FSocket == kNone) return;
  ::close(Fd(FSocket));
  FSocket = kNone;
}
