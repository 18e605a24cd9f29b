// socket_handle.h - TIdSocketHandle: one socket with its local and remote names.
//
// Owned by one thread; CloseSocket() may also be called from another thread (a
// server that stops), which only marks it closed and wakes the owner's calls.
#pragma once
#include <atomic>
#include <string>

#include "net/port.h"
#include "net/stack.h"

class TIdSocketHandle {
 public:
  explicit TIdSocketHandle(int port = 0) : Port(port) {}
  ~TIdSocketHandle();
  TIdSocketHandle(const TIdSocketHandle&) = delete;
  TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

  std::string IP;  // empty: every local address
  int Port = 0;

  socket_t Handle() const { return FHandle; }
  bool HandleAllocated() const { return FOpen.load(std::memory_order_acquire); }

  // Closes any socket held, then makes a new IPv4 stream socket (EIdInvalidSocket).
  void AllocateSocket();
  void SetReuseAddress();
  void Bind();             // EIdCouldNotBindSocket for 10048, else EIdSocketError
  void Listen(int queue);  // EIdSocketError
  enum class TAcceptResult { Accepted, NoneWaiting, Closed };
  // Accepts from a listening socket into this handle: Closed for 10004 and
  // 10038, NoneWaiting when a non-blocking listener has no connection queued.
  TAcceptResult Accept(socket_t listening);
  void CloseSocket();
  // Gives the descriptor back to the system; only its owner, with no other
  // thread inside a call on it.
  void ReleaseSocket() { Release(false); }
  // As ReleaseSocket, with a reset instead of an orderly end (TIdStack::Abort).
  void AbortSocket() { Release(true); }

  std::string RemoteAddress() const { return IPToText(FPeer.IP); }
  int RemotePort() const { return FPeer.Port; }
  std::uint32_t RemoteIP() const { return FPeer.IP; }
  std::string LocalAddress() const;
  // Whether an accepted connection comes from a visitor: from another address
  // than the one it reached. The host's own connections come from the
  // address they reach (a loopback one, or the machine's own).
  bool FromVisitor() const { return FPeer.IP != FLocal.IP; }

 private:
  void Release(bool reset);

  socket_t FHandle = kInvalidSocket;
  std::atomic<bool> FOpen{false};      // usable for calls
  std::atomic<bool> FReleased{false};  // the handle went back to the system
  TIdAddress FPeer;
  TIdAddress FLocal;  // of an accepted socket, read at the accept
};
