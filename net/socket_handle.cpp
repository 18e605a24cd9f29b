// socket_handle.cpp - TIdSocketHandle.
#include "net/socket_handle.h"

#include <cstdio>
#include <cstring>

#include "net/exceptions.h"

TIdSocketHandle::~TIdSocketHandle() { Release(false); }

void TIdSocketHandle::Release(bool reset) {
  if (FHandle == kInvalidSocket) return;
  FOpen.store(false, std::memory_order_release);
  if (!FReleased.exchange(true)) {
    if (reset) TIdStack::Abort(FHandle);
    else TIdStack::Close(FHandle);
  }
  FHandle = kInvalidSocket;
}

void TIdSocketHandle::AllocateSocket() {
  Release(false);
  FHandle = TIdStack::NewStreamSocket();
  if (FHandle == kInvalidSocket) throw EIdInvalidSocket();
  FReleased.store(false);
  FOpen.store(true, std::memory_order_release);
}

void TIdSocketHandle::SetReuseAddress() {
  if (TIdStack::SetReuseAddress(FHandle) != 0) throw EIdSocketError(TIdStack::LastError());
}

void TIdSocketHandle::Bind() {
  std::uint32_t ip = 0;  // INADDR_ANY
  if (!IP.empty()) {
    unsigned a, b, c, d;
    char tail;
    if (std::sscanf(IP.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4)
      throw EIdException("'" + IP + "' is not a valid integer value");
    unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                              static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
    std::memcpy(&ip, bytes, 4);
  }
  if (TIdStack::Bind(FHandle, ip, Port) == 0) return;
  int code = TIdStack::LastError();
  if (code == IdErr::AddressInUse) throw EIdCouldNotBindSocket();
  throw EIdSocketError(code);
}

void TIdSocketHandle::Listen(int queue) {
  if (TIdStack::Listen(FHandle, queue) != 0) throw EIdSocketError(TIdStack::LastError());
}

TIdSocketHandle::TAcceptResult TIdSocketHandle::Accept(socket_t listening) {
  Release(false);
  socket_t s = TIdStack::Accept(listening, FPeer);
  if (s == kInvalidSocket) {
    int code = TIdStack::LastError();
    if (code == IdErr::Interrupted || code == IdErr::NotASocket) return TAcceptResult::Closed;
    if (code == IdErr::WouldBlock) return TAcceptResult::NoneWaiting;
    throw EIdSocketError(code);
  }
  FHandle = s;
  // Its own name cannot fail on a socket just accepted; were it to, the
  // connection counts as a visitor's.
  FLocal = TIdAddress{};
  TIdStack::LocalName(s, FLocal);
  FReleased.store(false);
  FOpen.store(true, std::memory_order_release);
  return TAcceptResult::Accepted;
}

void TIdSocketHandle::CloseSocket() {
  if (!FOpen.exchange(false)) return;  // a second close does nothing
  if (TIdStack::Disconnect(FHandle)) FReleased.store(true);
}

std::string TIdSocketHandle::LocalAddress() const {
  TIdAddress local;
  if (FHandle == kInvalidSocket || TIdStack::LocalName(FHandle, local) != 0) return "";
  return IPToText(local.IP);
}
