// ostrel_request.cpp - reading the request head and taking fields out of it.
#include <cstring>
#include <string_view>

#include "base/text.h"
#include "base/native_fs.h"
#include "http/ostrel.h"
#include "net/exceptions.h"
#include "net/tcp_server.h"

std::string TOstrel::ReadRequest(TIdPeerThread& thread) { return ReadRequest(*thread.Connection()); }

namespace {

// Waits for the next byte no later than the deadline; EIdReadTimeout after it.
void AwaitByte(TIdTCPConnection& connection, const TDeadline& deadline) {
  if (!deadline.Limited() || connection.InputQueue().Size() > 0) return;
  const int leftMs = deadline.Clip(-1);
  if (leftMs <= 0) throw EIdReadTimeout();
  connection.FillInputQueue(true, leftMs, true);
}

}  // namespace

std::string TOstrel::ReadRequest(TIdTCPConnection& connection, TDeadline deadline) {
  std::string head;
  while (head.size() < 4 || std::memcmp(head.data() + head.size() - 4, "\r\n\r\n", 4) != 0) {
    // A head that never ends must not eat the server's memory.
    if (head.size() >= kMaxRequestHead) throw EIdException("Request head too long");
    AwaitByte(connection, deadline);
    head.push_back(static_cast<char>(connection.ReadByte()));
  }
  return head;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(const std::string& raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%') {
      std::string pair = raw.substr(i + 1, 2);
      i += pair.size();
      if (pair.size() == 2 && HexDigit(pair[0]) >= 0 && HexDigit(pair[1]) >= 0) {
        int value = HexDigit(pair[0]) * 16 + HexDigit(pair[1]);
        if (value != 0) out.push_back(static_cast<char>(value));
      }
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string DecodeUrlPath(const std::string& rawPath) {
  std::string decoded = PercentDecode(rawPath);
  std::string ansi = native_fs::Utf8ToAnsi(decoded);
  if (!ansi.empty() && ansi != decoded) decoded = ansi;
  return TOstrel::ToUrlPath(decoded);
}

}  // namespace

std::string TOstrel::GetRequestField(const std::string& request, const std::string& name) {
  if (text::SameTextAscii(name, "method")) return text::Cut(request, " ").first;
  bool url = text::SameTextAscii(name, "url");
  if (url || text::SameTextAscii(name, "query")) {
    std::string rest = text::Trim(text::Cut(request, " ").second);
    std::string target = text::Cut(rest, " ").first;
    auto [path, query] = text::Cut(target, "?");
    return url ? DecodeUrlPath(path) : query;
  }
  return GetHeaderValue(request, name);
}

std::string TOstrel::GetHeaderValue(const std::string& textBlock, const std::string& name) {
  const std::string wanted = text::UpperAscii(name);
  std::size_t pos = 0;
  while (pos <= textBlock.size()) {
    std::size_t end = textBlock.find("\r\n", pos);
    if (end == std::string::npos) end = textBlock.size();
    // The colon is looked for within the line only: a head of many lines
    // without one must not cost a scan to its end for each of them.
    const std::string_view line = std::string_view(textBlock).substr(pos, end - pos);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && text::UpperAscii(text::Trim(std::string(line.substr(0, colon)))) == wanted)
      return text::Trim(std::string(line.substr(colon + 1)));
    pos = end + 2;
  }
  return "";
}
