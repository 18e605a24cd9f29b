// connection_pair.cpp - one listening local socket for the whole run, a pair per input.
#include "fuzz/connection_pair.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "net/io_handler_socket.h"
#include "net/stack.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::perror(what);
  std::abort();
}

// An abstract name of this process's own: no file to clean up.
sockaddr_un ListenAddress() {
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::snprintf(a.sun_path + 1, sizeof a.sun_path - 1, "ostrel-fuzz-%d", static_cast<int>(::getpid()));
  return a;
}

// Made once; it lives as long as the process.
int Listener() {
  static const int listener = [] {
    TIdStack::Acquire();
    int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a = ListenAddress();
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s, 16) != 0)
      Fail("listen");
    return s;
  }();
  return listener;
}

}  // namespace

TConnectionPair::TConnectionPair() {
  const int listener = Listener();
  FClient = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un a = ListenAddress();
  if (FClient < 0 || ::connect(FClient, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) Fail("connect");
  auto handler = std::make_unique<TIdIOHandlerSocket>();
  if (handler->Endpoint().Accept(listener) != TIdSocketHandle::TAcceptResult::Accepted) Fail("accept");
  Server.AttachIOHandler(std::move(handler));
}

TConnectionPair::~TConnectionPair() {
  Server.CloseConnection();
  ::close(FClient);
}

bool TConnectionPair::ClientSend(const std::string& bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    ssize_t n = ::send(FClient, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void TConnectionPair::ClientEndSend() { ::shutdown(FClient, SHUT_WR); }

std::string TConnectionPair::ClientReadToEnd() {
  std::string out;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::recv(FClient, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return out;
    out.append(buffer, static_cast<std::size_t>(n));
  }
}
