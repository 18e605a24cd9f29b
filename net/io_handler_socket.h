// io_handler_socket.h - TIdIOHandlerSocket: a connection's transport over one socket.
#pragma once
#include <memory>

#include "net/component.h"
#include "net/socket_handle.h"

class TIdIOHandlerSocket : public TIdComponent {
 public:
  TIdIOHandlerSocket() : FEndpoint(std::make_unique<TIdSocketHandle>()) {}

  TIdSocketHandle& Endpoint() { return *FEndpoint; }
  bool Connected() const { return FEndpoint->HandleAllocated(); }

  // 1 readable, 0 not (time-out or failure); raises EIdConnClosedGracefully when closed.
  int Readable(int timeoutMs);
  int Recv(void* buffer, int length);        // raises EIdClosedSocket when closed
  int Send(const void* buffer, int length, bool moreFollows = false);  // raises EIdClosedSocket when closed
  void Close() { FEndpoint->CloseSocket(); }

 private:
  std::unique_ptr<TIdSocketHandle> FEndpoint;
};
