// loopback_client.h - plain blocking sockets on 127.0.0.1 for the socket tests: a
// client that plays the browser and a listener that holds a port.
#pragma once
#include <cstdint>
#include <string>

class TLoopbackClient {
 public:
  TLoopbackClient();
  ~TLoopbackClient();
  TLoopbackClient(const TLoopbackClient&) = delete;
  TLoopbackClient& operator=(const TLoopbackClient&) = delete;

  // recvBuffer > 0 sets a small receive buffer first, so a server that writes
  // to a client that does not read blocks soon. from: a loopback address to
  // connect from ("127.0.0.2"), so that the server sees a visitor; "" for 127.0.0.1.
  bool Connect(int port, int recvBuffer = 0, const char* from = "");
  bool Send(const std::string& bytes);
  // > 0 bytes appended to out, 0 at the end of the stream, -1 on time-out or error.
  int Receive(std::string& out, int timeoutMs);
  // Reads until the peer closes; false when it has not closed within timeoutMs.
  bool ReadToEnd(std::string& out, int timeoutMs);
  // Once the stream has ended: whether the peer reset the connection. A send tells
  // (Wine's receive reports a reset that follows data as a plain end).
  bool WasReset();
  void ShutdownSend();
  void Reset();  // linger 0, then close: the peer sees a reset, not a close
  void Close();

 private:
  std::intptr_t FSocket;
};

// Bytes written to a socket that it holds back unsent (a segment kept for
// more to follow); -1 where the platform cannot tell.
int UnsentBytes(std::intptr_t socket);

// Listens on every local address at a port the system picks.
class TLoopbackListener {
 public:
  TLoopbackListener();
  ~TLoopbackListener();
  TLoopbackListener(const TLoopbackListener&) = delete;
  TLoopbackListener& operator=(const TLoopbackListener&) = delete;

  int Port() const { return FPort; }  // 0 when listening failed
  void Close();

 private:
  std::intptr_t FSocket;
  int FPort = 0;
};
