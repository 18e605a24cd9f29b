// stack.h - the process-wide socket layer (ProcessStack): thin wrappers over the
// platform's socket calls, with its errors mapped onto the 100xx codes once, here.
//
// Every call that fails returns -1 (or kInvalidSocket) and leaves its code for
// LastError() on the calling thread; nothing else reads errno or WSAGetLastError.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "net/port.h"

struct TIdAddress {
  std::uint32_t IP = 0;  // network byte order
  int Port = 0;
};

// What a wait watches on a connection's socket besides its failing: nothing
// more, bytes to read, or the client's closing of its end.
enum class TIdWatch { Errors, Data, HangUp };
// How a wait ended: something may be ready, nothing came in time, or the
// client has gone (its end closed with HangUp watched, a reset, or the socket
// dropped by a stopping server).
enum class TIdWoken { Ready, Quiet, ClientGone };

// The other handles a wait on a socket also wakes for, at most three.
class TIdWaitList {
 public:
  static constexpr int kCapacity = 3;
  // writing: on Linux the descriptor wakes the wait when it can take a write;
  // Windows handles wake it when signalled.
  void Add(wait_handle_t handle, bool writing = false) {
    if (FCount < kCapacity) FItems[FCount++] = {handle, writing};
  }
  int Count() const { return FCount; }
  wait_handle_t Handle(int i) const { return FItems[i].Handle; }
  bool Writing(int i) const { return FItems[i].Writing; }

 private:
  struct TItem {
    wait_handle_t Handle;
    bool Writing;
  };
  TItem FItems[kCapacity] = {};
  int FCount = 0;
};

class TIdStack {
 public:
  // Started by the first TIdComponent, stopped by the last (guarded by one global lock).
  static void Acquire();
  static void Release();

  static int LastError();  // the mapped code of this thread's last failed call

  // Whether a listening socket sets address reuse when the server leaves it to
  // the platform: Linux keeps a port in TIME_WAIT that a listener must still bind.
  static bool ReuseAddressByDefault();

  static socket_t NewStreamSocket();
  static int SetReuseAddress(socket_t s);
  static int Bind(socket_t s, std::uint32_t ip, int port);
  static int Listen(socket_t s, int backlog);
  // Whether Accept on a listening socket returns at once (with 10035 when no
  // connection waits), so a listener can accept first and wait only when idle.
  static bool AcceptsWithoutWaiting();
  static socket_t Accept(socket_t s, TIdAddress& peer);
  static int LocalName(socket_t s, TIdAddress& local);

  // 1 readable, 0 time-out, -1 failure; timeoutMs -2 waits without limit.
  static int WaitReadable(socket_t s, int timeoutMs);
  static int Recv(socket_t s, void* buffer, int length);
  // moreFollows: hold a short piece for the next one (where the platform can),
  // so a reply head and a small body leave in one segment.
  static int Send(socket_t s, const void* buffer, int length, bool moreFollows = false);
  // Send that never waits: -1 with 10035 when the socket takes nothing now.
  static int SendNow(socket_t s, const void* buffer, int length, bool moreFollows = false);
  // 1 when the socket can take more (or has failed: the next send tells), 0
  // after timeoutMs.
  static int WaitWritable(socket_t s, int timeoutMs);
  // Makes the close that follows reset the connection, dropping what it
  // still holds unsent rather than trying to deliver it on its own.
  static void DiscardUnsent(socket_t s);
  // Sends at once what earlier sends held back with moreFollows.
  static void Push(socket_t s);
  // Sleeps until the socket shows what watch asks, one of others is ready, or
  // timeoutMs passes; where the platform cannot wait on both at once, the
  // socket is looked at in slices.
  static TIdWoken WaitWith(socket_t s, TIdWatch watch, const TIdWaitList& others, int timeoutMs);

  // Ends the socket from any thread: a call blocked on it on another thread
  // returns. Returns true when the handle was released too; false when the
  // platform keeps it until Release() so that its number cannot be reused while
  // another thread may still be inside a call on it.
  static bool Disconnect(socket_t s);
  // Shuts down the sending side and releases the handle (owning thread only).
  static void Close(socket_t s);
  // Releases the handle with a reset instead of an orderly end (owning thread
  // only): the peer sees the connection fail, and nothing unsent is delivered.
  static void Abort(socket_t s);

  static std::string HostName();
  // Addresses of the host-name lookup, in the order given; raises EIdSocketError.
  static std::vector<std::uint32_t> HostAddresses();
};

std::string IPToText(std::uint32_t ip);  // dotted decimal, network byte order in
