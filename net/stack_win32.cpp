// stack_win32.cpp - the socket layer over WinSock 2.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "net/exceptions.h"
#include "net/stack.h"

namespace {

thread_local int tLastError = 0;

int Fail() {
  tLastError = WSAGetLastError();
  return -1;
}

}  // namespace

void TIdStack::Acquire() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw EIdStackInitializationFailed();
}

void TIdStack::Release() { WSACleanup(); }

int TIdStack::LastError() { return tLastError; }

bool TIdStack::ReuseAddressByDefault() { return false; }

socket_t TIdStack::NewStreamSocket() {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) Fail();
  // Children (the interpreter, console commands) inherit handles; never this one.
  else SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  return s;
}

int TIdStack::SetReuseAddress(socket_t s) {
  BOOL one = TRUE;
  return ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof one) == 0
             ? 0
             : Fail();
}

int TIdStack::Bind(socket_t s, std::uint32_t ip, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = ip;
  a.sin_port = htons(static_cast<u_short>(port));
  return ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ? 0 : Fail();
}

int TIdStack::Listen(socket_t s, int backlog) { return ::listen(s, backlog) == 0 ? 0 : Fail(); }

// Accepted sockets would inherit non-blocking mode here: the listener waits first.
bool TIdStack::AcceptsWithoutWaiting() { return false; }

socket_t TIdStack::Accept(socket_t s, TIdAddress& peer) {
  sockaddr_in a{};
  int n = sizeof a;
  SOCKET c = ::accept(s, reinterpret_cast<sockaddr*>(&a), &n);
  if (c == INVALID_SOCKET) {
    Fail();
    return kInvalidSocket;
  }
  SetHandleInformation(reinterpret_cast<HANDLE>(c), HANDLE_FLAG_INHERIT, 0);
  peer.IP = a.sin_addr.s_addr;
  peer.Port = ntohs(a.sin_port);
  return c;
}

int TIdStack::LocalName(socket_t s, TIdAddress& local) {
  sockaddr_in a{};
  int n = sizeof a;
  if (::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n) != 0) return Fail();
  local.IP = a.sin_addr.s_addr;
  local.Port = ntohs(a.sin_port);
  return 0;
}

int TIdStack::WaitReadable(socket_t s, int timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  int r = ::select(0, &set, nullptr, nullptr, timeoutMs == -2 ? nullptr : &tv);
  if (r == SOCKET_ERROR) return Fail();
  return r == 1 ? 1 : 0;
}

int TIdStack::Recv(socket_t s, void* buffer, int length) {
  int r = ::recv(s, static_cast<char*>(buffer), length, 0);
  return r == SOCKET_ERROR ? Fail() : r;
}

int TIdStack::Send(socket_t s, const void* buffer, int length, bool /*moreFollows*/) {
  int r = ::send(s, static_cast<const char*>(buffer), length, 0);
  return r == SOCKET_ERROR ? Fail() : r;
}

// The socket is switched to non-blocking for the one call: a blocking send
// here returns only once all of it is taken, however long that is.
int TIdStack::SendNow(socket_t s, const void* buffer, int length, bool /*moreFollows*/) {
  u_long on = 1, off = 0;
  if (::ioctlsocket(s, FIONBIO, &on) != 0) return Fail();
  const int r = ::send(s, static_cast<const char*>(buffer), length, 0);
  const int code = r == SOCKET_ERROR ? WSAGetLastError() : 0;
  ::ioctlsocket(s, FIONBIO, &off);
  if (r != SOCKET_ERROR) return r;
  tLastError = code;
  return -1;
}

int TIdStack::WaitWritable(socket_t s, int timeoutMs) {
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s, &writable);
  FD_SET(s, &failed);
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  return ::select(0, nullptr, &writable, &failed, &tv) == 0 ? 0 : 1;  // a failure: the next send tells
}

void TIdStack::DiscardUnsent(socket_t s) {
  linger off{1, 0};
  ::setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&off), sizeof off);
}

// Nothing is ever held back here.
void TIdStack::Push(socket_t) {}

namespace {

// The socket cannot join a wait on handles: while bytes are awaited it is
// waited on in slices this long, with a look at the handles between them.
constexpr int kSocketSliceMs = 5;

// Whether the client has closed its end or the connection failed: the socket
// reads as readable with nothing to read, or reports a hang-up or an error.
// Bytes it sent after its body are left where they are.
bool ClientLeft(socket_t s) {
  WSAPOLLFD poll{static_cast<SOCKET>(s), POLLRDNORM, 0};
  if (WSAPoll(&poll, 1, 0) <= 0) return false;
  if ((poll.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return true;
  char byte;
  return ::recv(static_cast<SOCKET>(s), &byte, 1, MSG_PEEK) <= 0;
}

}  // namespace

TIdWoken TIdStack::WaitWith(socket_t s, TIdWatch watch, const TIdWaitList& others, int timeoutMs) {
  HANDLE handles[TIdWaitList::kCapacity];
  const DWORD count = static_cast<DWORD>(others.Count());
  for (int i = 0; i < others.Count(); ++i) handles[i] = others.Handle(i);
  // Looked at once per wait: the relay's waits are short enough for a client
  // that left to be noticed well within a second.
  if (watch == TIdWatch::HangUp && ClientLeft(s)) return TIdWoken::ClientGone;
  if (watch == TIdWatch::Data) {
    if (count > 0 && WaitForMultipleObjects(count, handles, FALSE, 0) != WAIT_TIMEOUT) return TIdWoken::Ready;
    // WSAPoll, not select: a connection reset by the peer shows as a hang-up
    // here, where select (under Wine) never finds it readable.
    WSAPOLLFD poll{static_cast<SOCKET>(s), POLLRDNORM, 0};
    const int ready = WSAPoll(&poll, 1, timeoutMs < kSocketSliceMs ? timeoutMs : kSocketSliceMs);
    const bool gone = ready > 0 && (poll.revents & POLLRDNORM) == 0 && (poll.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    return gone ? TIdWoken::ClientGone : TIdWoken::Ready;
  }
  if (count == 0) {
    Sleep(static_cast<DWORD>(timeoutMs < 10 ? timeoutMs : 10));
    return TIdWoken::Ready;
  }
  WaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(timeoutMs));
  return TIdWoken::Ready;
}

bool TIdStack::Disconnect(socket_t s) {
  ::shutdown(s, SD_BOTH);
  ::closesocket(s);
  return true;
}

void TIdStack::Close(socket_t s) {
  ::shutdown(s, SD_SEND);
  ::closesocket(s);
}

// No shutdown first: it would send the end of the stream before the reset.
void TIdStack::Abort(socket_t s) {
  DiscardUnsent(s);
  ::closesocket(s);
}

std::string TIdStack::HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

std::vector<std::uint32_t> TIdStack::HostAddresses() {
  hostent* h = ::gethostbyname(HostName().c_str());
  if (h == nullptr || h->h_addr_list == nullptr || h->h_addr_list[0] == nullptr) {
    int code = WSAGetLastError();
    throw EIdSocketError(code != 0 ? code : IdErr::HostNotFound);
  }
  std::vector<std::uint32_t> result;
  for (char** a = h->h_addr_list; *a != nullptr; ++a) {
    std::uint32_t ip;
    memcpy(&ip, *a, sizeof ip);
    result.push_back(ip);
  }
  return result;
}
