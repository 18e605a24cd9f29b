// cgi_relay.h - moves a request's body into the interpreter and the
// interpreter's output back to the browser, so that neither can hold up the
// other. Runs on the connection's thread.
#pragma once
#include <cstdint>
#include <string>

#include "net/port.h"

class TIdTCPConnection;

// The relay's view of a running interpreter; nothing here blocks except Wait.
class TCgiChild {
 public:
  virtual ~TCgiChild() = default;
  // Up to n bytes of output: > 0 read, 0 nothing waiting now, -1 no more ever.
  virtual int ReadOutput(char* buffer, int n) = 0;
  // Hands a whole block (at most kCgiInputBlock bytes) to the interpreter's
  // input: n taken, 0 not now (try after Wait), -1 the input is closed.
  virtual int WriteInput(const char* block, int n) = 0;
  virtual bool Ended() = 0;
  // Sleeps until output may be waiting, the input may take a block (wantInput),
  // the interpreter ends, the socket has bytes (wantSocket) or timeoutMs passes.
  // False when the socket reported a hang-up or an error.
  virtual bool Wait(socket_t socket, bool wantSocket, bool wantInput, int timeoutMs) = 0;
};

inline constexpr int kCgiInputBlock = 4096;

// Forwards bodyCount bytes of the connection in blocks of kCgiInputBlock and
// relays the output behind the reply head made from the interpreter's header
// block; the body that the interpreter no longer takes is read and dropped.
// Returns once the interpreter has ended, its output is drained and the body is
// consumed. Raises when the connection fails or a stopping server drops it.
void RelayCgi(TIdTCPConnection& connection, TCgiChild& child, std::int64_t bodyCount);

// The reply head for the interpreter's header block: the status line from its
// "Status:" value (200 OK without one), the server's two lines, then the block
// unchanged.
std::string CgiReplyHead(const std::string& headerBlock);
