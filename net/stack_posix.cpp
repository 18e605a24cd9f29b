// stack_posix.cpp - the socket layer over BSD sockets, errno mapped onto the 100xx codes.
#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "net/exceptions.h"
#include "net/stack.h"

namespace {

thread_local int tLastError = 0;

int MapErrno(int e) {
  switch (e) {
    case EINTR: return 10004;
    case EBADF: case ENOTSOCK: return 10038;
    case EACCES: case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: case ENFILE: return 10024;
    case EAGAIN: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS: case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case EPIPE: case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    default: return e;
  }
}

int Fail() {
  tLastError = MapErrno(errno);
  return -1;
}

// Linux reports a reset that follows the peer's close (a browser that closed
// while a reply was on its way) as EPIPE, as it does a send after our own
// shutdown. Only the reset leaves the connection CLOSED, and WinSock calls that
// a reset.
bool ResetByPeer(int s) {
  tcp_info info{};
  socklen_t n = sizeof info;
  return ::getsockopt(s, IPPROTO_TCP, TCP_INFO, &info, &n) == 0 && info.tcpi_state == TCP_CLOSE;
}

}  // namespace

void TIdStack::Acquire() {
  // A peer that vanishes must fail the send with EPIPE, not kill the process.
  std::signal(SIGPIPE, SIG_IGN);
}
void TIdStack::Release() {}

int TIdStack::LastError() { return tLastError; }

bool TIdStack::ReuseAddressByDefault() { return true; }

socket_t TIdStack::NewStreamSocket() {
  int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) Fail();
  return s;
}

int TIdStack::SetReuseAddress(socket_t s) {
  int one = 1;
  return ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0 ? 0 : Fail();
}

int TIdStack::Bind(socket_t s, std::uint32_t ip, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = ip;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  return ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ? 0 : Fail();
}

int TIdStack::Listen(socket_t s, int backlog) {
  if (::listen(s, backlog) != 0) return Fail();
  // Accepted sockets do not inherit O_NONBLOCK on Linux: only the listener's
  // accept returns at once.
  ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL) | O_NONBLOCK);
  return 0;
}

bool TIdStack::AcceptsWithoutWaiting() { return true; }

socket_t TIdStack::Accept(socket_t s, TIdAddress& peer) {
  sockaddr_in a{};
  socklen_t n = sizeof a;
  int c = ::accept4(s, reinterpret_cast<sockaddr*>(&a), &n, SOCK_CLOEXEC);
  if (c < 0) {
    Fail();
    // A listening socket that was shut down reports EINVAL: treat it as closed.
    if (errno == EINVAL) tLastError = 10038;
    if (errno == EWOULDBLOCK) tLastError = 10035;
    return kInvalidSocket;
  }
  peer.IP = a.sin_addr.s_addr;
  peer.Port = ntohs(a.sin_port);
  return c;
}

int TIdStack::LocalName(socket_t s, TIdAddress& local) {
  sockaddr_in a{};
  socklen_t n = sizeof a;
  if (::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n) != 0) return Fail();
  local.IP = a.sin_addr.s_addr;
  local.Port = ntohs(a.sin_port);
  return 0;
}

int TIdStack::WaitReadable(socket_t s, int timeoutMs) {
  // poll, not select: descriptors of busy servers pass FD_SETSIZE.
  pollfd p{s, POLLIN, 0};
  for (;;) {
    int r = ::poll(&p, 1, timeoutMs == -2 ? -1 : timeoutMs);
    if (r > 0) return 1;
    if (r == 0) return 0;
    if (errno != EINTR) return Fail();
  }
}

// Clearing the cork, even one never set, pushes what MSG_MORE held back.
void TIdStack::Push(socket_t s) {
  int off = 0;
  ::setsockopt(s, IPPROTO_TCP, TCP_CORK, &off, sizeof off);
}

TIdWoken TIdStack::WaitWith(socket_t s, TIdWatch watch, const TIdWaitList& others, int timeoutMs) {
  pollfd fds[TIdWaitList::kCapacity + 1];
  nfds_t count = 0;
  for (int i = 0; i < others.Count(); ++i)
    fds[count++] = {others.Handle(i), static_cast<short>(others.Writing(i) ? POLLOUT : POLLIN), 0};
  // Asked for no events, the socket still reports a hang-up: a stopping server
  // shuts it down, which wakes this wait. A client's close shows as POLLRDHUP.
  const short events = watch == TIdWatch::Data ? POLLIN : watch == TIdWatch::HangUp ? POLLRDHUP : 0;
  const nfds_t socket = count;
  fds[count++] = {s, events, 0};
  const int ready = ::poll(fds, count, timeoutMs);
  if (ready == 0) return TIdWoken::Quiet;
  if (ready < 0) return TIdWoken::Ready;  // interrupted: the caller looks again
  return (fds[socket].revents & (POLLERR | POLLHUP | POLLNVAL | POLLRDHUP)) == 0 ? TIdWoken::Ready
                                                                             : TIdWoken::ClientGone;
}

int TIdStack::Recv(socket_t s, void* buffer, int length) {
  for (;;) {
    ssize_t r = ::recv(s, buffer, static_cast<size_t>(length), 0);
    if (r >= 0) return static_cast<int>(r);
    if (errno != EINTR) return Fail();
  }
}

namespace {

int SendWithFlags(socket_t s, const void* buffer, int length, int flags) {
  for (;;) {
    ssize_t r = ::send(s, buffer, static_cast<size_t>(length), flags);
    if (r >= 0) return static_cast<int>(r);
    if (errno == EINTR) continue;
    const int e = errno;
    errno = e == EPIPE && ResetByPeer(s) ? ECONNRESET : e;
    return Fail();
  }
}

}  // namespace

int TIdStack::Send(socket_t s, const void* buffer, int length, bool moreFollows) {
  return SendWithFlags(s, buffer, length, MSG_NOSIGNAL | (moreFollows ? MSG_MORE : 0));
}

int TIdStack::SendNow(socket_t s, const void* buffer, int length, bool moreFollows) {
  return SendWithFlags(s, buffer, length, MSG_NOSIGNAL | MSG_DONTWAIT | (moreFollows ? MSG_MORE : 0));
}

int TIdStack::WaitWritable(socket_t s, int timeoutMs) {
  pollfd p{s, POLLOUT, 0};
  const int r = ::poll(&p, 1, timeoutMs);
  return r == 0 ? 0 : 1;  // interrupted or failed: the next send tells
}

void TIdStack::DiscardUnsent(socket_t s) {
  linger off{1, 0};
  ::setsockopt(s, SOL_SOCKET, SO_LINGER, &off, sizeof off);
}

bool TIdStack::Disconnect(socket_t s) {
  // Shutting down both directions wakes a recv or poll blocked on another
  // thread; the descriptor itself is closed later by its owner.
  ::shutdown(s, SHUT_RDWR);
  return false;
}

void TIdStack::Close(socket_t s) {
  ::shutdown(s, SHUT_WR);
  ::close(s);
}

// No shutdown first: it would send the end of the stream before the reset.
void TIdStack::Abort(socket_t s) {
  DiscardUnsent(s);
  ::close(s);
}

std::string TIdStack::HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

std::vector<std::uint32_t> TIdStack::HostAddresses() {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(HostName().c_str(), nullptr, &hints, &list) != 0 || list == nullptr) {
    tLastError = IdErr::HostNotFound;
    throw EIdSocketError(IdErr::HostNotFound);
  }
  std::vector<std::uint32_t> result;
  for (addrinfo* a = list; a != nullptr; a = a->ai_next) {
    std::uint32_t ip = reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
    bool seen = false;
    for (auto r : result) seen = seen || r == ip;
    if (!seen) result.push_back(ip);  // getaddrinfo lists one entry per socket type
  }
  ::freeaddrinfo(list);
  return result;
}
