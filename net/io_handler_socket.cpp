// io_handler_socket.cpp - TIdIOHandlerSocket.
#include "net/io_handler_socket.h"

#include "net/exceptions.h"

int TIdIOHandlerSocket::Readable(int timeoutMs) {
  if (!Connected()) throw EIdConnClosedGracefully();
  return TIdStack::WaitReadable(FEndpoint->Handle(), timeoutMs) == 1 ? 1 : 0;
}

int TIdIOHandlerSocket::Recv(void* buffer, int length) {
  if (!Connected()) throw EIdClosedSocket();
  return TIdStack::Recv(FEndpoint->Handle(), buffer, length);
}

int TIdIOHandlerSocket::Send(const void* buffer, int length, bool moreFollows) {
  if (!Connected()) throw EIdClosedSocket();
  return TIdStack::Send(FEndpoint->Handle(), buffer, length, moreFollows);
}

int TIdIOHandlerSocket::SendNow(const void* buffer, int length, bool moreFollows) {
  if (!Connected()) throw EIdClosedSocket();
  return TIdStack::SendNow(FEndpoint->Handle(), buffer, length, moreFollows);
}
