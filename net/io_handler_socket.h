// io_handler_socket.h - TIdIOHandlerSocket: a connection's transport over one socket.
#pragma once
#include <memory>

#include "net/component.h"
#include "net/socket_handle.h"
#include "net/visitor_places.h"

class TIdIOHandlerSocket : public TIdComponent {
 public:
  TIdIOHandlerSocket() : FEndpoint(std::make_unique<TIdSocketHandle>()) {}

  TIdSocketHandle& Endpoint() { return *FEndpoint; }
  bool Connected() const { return FEndpoint->HandleAllocated(); }

  // 1 readable, 0 not (time-out or failure); raises EIdConnClosedGracefully when closed.
  int Readable(int timeoutMs);
  int Recv(void* buffer, int length);        // raises EIdClosedSocket when closed
  int Send(const void* buffer, int length, bool moreFollows = false);  // raises EIdClosedSocket when closed
  int SendNow(const void* buffer, int length, bool moreFollows = false);  // the same, never waiting
  void Close() { FEndpoint->CloseSocket(); }
  // The place of its visitor among the server's connections, given back when
  // the transport goes, after its socket.
  void HoldPlace(TVisitorPlace place) { FPlace = std::move(place); }

 private:
  TVisitorPlace FPlace;  // destroyed after FEndpoint, which closes the socket
  std::unique_ptr<TIdSocketHandle> FEndpoint;
};
