// cgi_relay.h - moves a request's body into the interpreter and the
// interpreter's output back to the browser, so that neither can hold up the
// other. Runs on the connection's thread.
#pragma once
#include <cstdint>
#include <string>

#include "net/stack.h"

class TIdTCPConnection;

// The relay's view of a running interpreter; nothing here blocks. The relay
// waits for it and for the client at once through the connection
// (TIdTCPConnection::WaitWith), with the handles the interpreter names.
class TCgiChild {
 public:
  virtual ~TCgiChild() = default;
  // Up to n bytes of output: > 0 read, 0 nothing waiting now, -1 no more ever.
  virtual int ReadOutput(char* buffer, int n) = 0;
  // Hands a whole block (at most kCgiInputBlock bytes) to the interpreter's
  // input: n taken, 0 not now (try after Wait), -1 the input is closed.
  virtual int WriteInput(const char* block, int n) = 0;
  virtual bool Ended() = 0;
  // Once Ended() has said so: whether the interpreter ended in failure (an
  // exit code other than 0, or ended by the system).
  virtual bool Failed() = 0;
  // Before a wait: the handles that wake it when output may be waiting, the
  // input may take a block (wantInput) or the interpreter ends. It may
  // shorten timeoutMs: an interpreter that is ending is looked at soon.
  virtual void PrepareWait(TIdWaitList& waits, bool wantInput, int& timeoutMs) = 0;
  // After it: quiet when nothing woke it before its time.
  virtual void Waited(bool quiet) = 0;
};

inline constexpr int kCgiInputBlock = 4096;

// A client that stops sending its body must not hold a connection thread, nor
// an interpreter, for ever: a body that makes no progress for this long while
// the server waits for it closes the connection without a reply. Generous, so
// that a slow link that is still sending is never cut off.
inline constexpr int kBodyStallMs = 60000;

// Waits until the first byte of a body of bodyCount bytes has arrived, so that
// no interpreter is started for a client that only announces one; at once when
// there is no body or it is already there. False when nothing came within
// stallMs; raises when the connection closes first.
bool AwaitBodyStart(TIdTCPConnection& connection, std::int64_t bodyCount, int stallMs = kBodyStallMs);

// Forwards bodyCount bytes of the connection in blocks of kCgiInputBlock and
// relays the output behind the reply head made from the interpreter's header
// block; the body that the interpreter no longer takes is read and dropped.
// The interpreter's errors share its output: output that does not start with a
// well-formed header block (CgiHeadIsWellFormed; its empty line within 64 KiB)
// is answered with kCgiBadGatewayReply and dropped whole, and a reply whose head
// announced success (a status below 400) but whose interpreter then failed is
// ended with a reset, so that the client sees the failure instead of an end.
// Returns once the interpreter has ended, its output is drained and the body is
// consumed. Raises when the connection fails, a stopping server drops it, the
// client leaves (even while the page is quiet) or the body stalls for stallMs;
// a page still talking to a client that is there has no limit.
void RelayCgi(TIdTCPConnection& connection, TCgiChild& child, std::int64_t bodyCount,
              int stallMs = kBodyStallMs);

// The reply head for the interpreter's header block: the status line from its
// "Status:" value (200 OK without one), the server's two lines, then the block
// unchanged.
std::string CgiReplyHead(const std::string& headerBlock);

// Whether headerBlock (up to and with its empty line) is one or more header
// fields, each "Name: value" (a name of token characters; no CR, LF or NUL in
// the value) ended by CRLF, whose "Status:" value, where there is one, starts
// with a status code (100 to 599). An interpreter's error text is not.
bool CgiHeadIsWellFormed(const std::string& headerBlock);

// The status code that the header block's reply head carries: its "Status:"
// code, 200 without one.
int CgiStatusCode(const std::string& headerBlock);

// What the client gets for output without a well-formed header block.
extern const char* const kCgiBadGatewayReply;
