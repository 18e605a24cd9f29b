// connection_pair.h - for the fuzz targets that read or write a connection: an
// accepted TIdTCPConnection, as a connection thread holds one, and the client
// at its other end, over a local stream socket. A TCP pair per input would
// leave tens of thousands of ports in TIME_WAIT a minute, and connecting would
// soon fail.
#pragma once
#include <string>

#include "net/tcp_connection.h"

class TConnectionPair {
 public:
  // Aborts when no pair can be made: every input would look like a fault.
  TConnectionPair();
  ~TConnectionPair();
  TConnectionPair(const TConnectionPair&) = delete;
  TConnectionPair& operator=(const TConnectionPair&) = delete;

  TIdTCPConnection Server;

  // The client's side; each may run on a thread of its own while the server
  // is used on another.
  bool ClientSend(const std::string& bytes);  // false once the server has gone
  void ClientEndSend();
  std::string ClientReadToEnd();

 private:
  int FClient = -1;
};
