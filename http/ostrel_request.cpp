// ostrel_request.cpp - reading the request head, and the lookups of its
// fields and of the request line's own words.
#include <cstring>

#include "http/ostrel.h"
#include "net/exceptions.h"
#include "net/tcp_server.h"

TRequest TOstrel::ReadRequest(TIdPeerThread& thread) { return ReadRequest(*thread.Connection()); }

namespace {

// Waits for the next byte no later than the deadline; EIdReadTimeout after it.
void AwaitByte(TIdTCPConnection& connection, const TDeadline& deadline) {
  if (!deadline.Limited() || connection.InputQueue().Size() > 0) return;
  const int leftMs = deadline.Clip(-1);
  if (leftMs <= 0) throw EIdReadTimeout();
  connection.FillInputQueue(true, leftMs, true);
}

}  // namespace

TRequest TOstrel::ReadRequest(TIdTCPConnection& connection, TDeadline deadline) {
  std::string head;
  while (head.size() < 4 || std::memcmp(head.data() + head.size() - 4, "\r\n\r\n", 4) != 0) {
    // A head that never ends must not eat the server's memory.
    if (head.size() >= kMaxRequestHead) throw EIdException("Request head too long");
    AwaitByte(connection, deadline);
    head.push_back(static_cast<char>(connection.ReadByte()));
  }
  return TRequest(std::move(head));
}

std::string TOstrel::GetRequestField(const std::string& request, const std::string& name) {
  return TRequest(request).Field(name);
}

std::string TOstrel::GetHeaderValue(const std::string& textBlock, const std::string& name) {
  for (const THeaderLine& line : HeaderLinesOf(textBlock))
    if (line.Is(name)) return line.Value;
  return "";
}
