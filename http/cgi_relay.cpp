// cgi_relay.cpp - the gateway's pump between the connection and the interpreter.
#include "http/cgi_relay.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "http/ostrel.h"
#include "net/exceptions.h"
#include "net/tcp_connection.h"

namespace {

// A page that never prints an empty line must not make the head grow without end.
constexpr std::size_t kMaxHeaderBlock = 64 * 1024;
constexpr int kOutputChunk = 64 * 1024;
// Each side gets a bounded turn so that a fast one cannot starve the other.
constexpr int kTurnsPerRound = 16;
// Waits are woken by events; the slice only bounds how late a dropped
// connection is noticed where the platform cannot wait on the socket.
constexpr int kWaitSliceMs = 100;
// Output leaves marked "more follows", so that what a page writes in quick
// succession (php-cgi writes each header line on its own) shares a segment
// with the connection's end; once the page is quiet this long, it is pushed.
constexpr int kCoalesceMs = 2;

using TClock = std::chrono::steady_clock;

class TRelay {
 public:
  TRelay(TIdTCPConnection& connection, TCgiChild& child, std::int64_t bodyCount, int stallMs)
      : FConnection(connection), FChild(child), FBodyLeft(bodyCount), FStallLimit(stallMs),
        FOutput(new char[kOutputChunk]) {
    NextBlock();
  }

  void Run() {
    for (;;) {
      if (!FConnection.IsConnected()) throw EIdConnClosedGracefully();
      // Taken before the output is read: once the interpreter has ended, a pipe
      // that then runs empty holds nothing more of it.
      const bool ended = FChild.Ended();
      const bool output = PumpOutput();
      const bool body = PumpBody(ended);
      if (ended && FOutputDrained && BodyDone()) break;
      if (output) FWaitedSinceOutput = false;
      if (output || body) continue;
      if (FHeld && FWaitedSinceOutput) {
        FConnection.Push();
        FHeld = false;
      }
      FWaitedSinceOutput = true;
      if (Wait() == TIdWoken::ClientGone) throw EIdConnClosedGracefully();
      if (Stalled()) throw EIdReadTimeout();
    }
    FinishHead();  // the closing that follows pushes what is held
    // A close would end the reply as if whole: a page that died after it
    // announced success (its time or memory ran out) may have sent a part.
    if (FHeadDone && !FRefused && FStatusCode < 400 && FChild.Failed()) FConnection.AbortConnection();
  }

 private:
  bool BodyDone() const { return FBlockSize == 0; }

  // Once the body is in, the client is watched for its leaving, so that a
  // page that is busy or quiet does not outlive its client.
  TIdWatch Watch() const {
    if (BodyDone()) return TIdWatch::HangUp;
    return FWantSocket ? TIdWatch::Data : TIdWatch::Errors;
  }

  // Sleeps until the interpreter or the client has something for the relay.
  TIdWoken Wait() {
    TIdWaitList waits;
    int timeoutMs = FHeld ? kCoalesceMs : kWaitSliceMs;
    FChild.PrepareWait(waits, FWantInput, timeoutMs);
    const TIdWoken woken = FConnection.WaitWith(Watch(), waits, timeoutMs);
    FChild.Waited(woken == TIdWoken::Quiet);
    return woken;
  }

  // Counts only the time spent waiting for the client: a page that is slow to
  // take its input does not make the client's body stall.
  bool Stalled() {
    if (!FWantSocket) {
      FStallSince.reset();
      return false;
    }
    if (!FStallSince) FStallSince = TClock::now();
    return TClock::now() - *FStallSince >= std::chrono::milliseconds(FStallLimit);
  }

  void NextBlock() {
    FBlockSize = static_cast<int>(std::min<std::int64_t>(FBodyLeft, kCgiInputBlock));
    FBodyLeft -= FBlockSize;
    FBlockFill = 0;
  }

  bool PumpOutput() {
    bool progress = false;
    for (int turn = 0; turn < kTurnsPerRound; ++turn) {
      int n = FChild.ReadOutput(FOutput.get(), kOutputChunk);
      if (n > 0) {
        Deliver(FOutput.get(), static_cast<std::size_t>(n));
        progress = true;
        continue;
      }
      if (n < 0 && !FOutputEnded) {
        FOutputEnded = true;
        FinishHead();  // a head without its empty line is refused
        progress = true;  // the child is ending: look at it before waiting
      }
      FOutputDrained = true;
      return progress;
    }
    FOutputDrained = false;
    return progress;
  }

  // Fills the current block from the connection and hands it over; once the
  // interpreter takes no more input, the rest of the body is read and dropped,
  // so that closing the connection cannot reset it under the reply.
  bool PumpBody(bool ended) {
    FWantSocket = FWantInput = false;
    if (ended) FInputOpen = false;
    bool progress = false;
    for (int turn = 0; turn < kTurnsPerRound && !BodyDone(); ++turn) {
      if (FBlockFill < FBlockSize) {
        TIdInputQueue& queue = FConnection.InputQueue();
        if (queue.Size() == 0 && FConnection.FillInputQueue(true, 0, false) <= 0) {
          FWantSocket = true;
          return progress;
        }
        std::size_t take = std::min<std::size_t>(queue.Size(), static_cast<std::size_t>(FBlockSize - FBlockFill));
        queue.Take(FBlock + FBlockFill, take);
        FBlockFill += static_cast<int>(take);
        FStallSince.reset();
        progress = true;
        continue;
      }
      if (FInputOpen) {
        int taken = FChild.WriteInput(FBlock, FBlockSize);
        if (taken == 0) {
          FWantInput = true;
          return progress;
        }
        if (taken < 0) FInputOpen = false;
      }
      NextBlock();
      progress = true;
    }
    return progress;
  }

  void Deliver(const char* data, std::size_t n) {
    if (FRefused) return;
    if (FHeadDone) {
      FConnection.WriteBytes(data, static_cast<int>(n), true);
      FHeld = true;
      return;
    }
    const std::size_t searchFrom = FHead.size() < 3 ? 0 : FHead.size() - 3;
    FHead.append(data, n);
    const std::size_t blank = FHead.find("\r\n\r\n", searchFrom);
    if (blank != std::string::npos) {
      std::string rest = FHead.substr(blank + 4);
      FHead.resize(blank + 4);
      FinishHead(rest);
    } else if (FHead.size() >= kMaxHeaderBlock) {
      FinishHead();
    }
  }

  // Writes the reply head, with the first output after the header block; or,
  // when the output does not start with one, the gateway's own refusal, and
  // nothing of the output then or later.
  void FinishHead(const std::string& after = std::string()) {
    if (FHeadDone || FHead.empty()) return;
    FRefused = !CgiHeadIsWellFormed(FHead);
    if (FRefused) {
      FConnection.WriteText(kCgiBadGatewayReply, true);
    } else {
      FStatusCode = CgiStatusCode(FHead);
      FConnection.WriteText(CgiReplyHead(FHead) + after, true);
    }
    FHeadDone = true;
    FHeld = true;
    std::string().swap(FHead);
  }

  TIdTCPConnection& FConnection;
  TCgiChild& FChild;
  std::int64_t FBodyLeft;  // body bytes not yet given to a block
  const int FStallLimit;   // ms the body may make no progress while awaited
  std::optional<TClock::time_point> FStallSince;  // since when it has been awaited in vain
  char FBlock[kCgiInputBlock];
  int FBlockSize = 0;  // 0: the body is consumed
  int FBlockFill = 0;
  bool FInputOpen = true;
  bool FWantSocket = false;
  bool FWantInput = false;
  std::unique_ptr<char[]> FOutput;
  bool FOutputDrained = false;
  bool FOutputEnded = false;
  std::string FHead;
  bool FHeadDone = false;
  bool FRefused = false;  // the output had no well-formed header block: dropped
  int FStatusCode = 0;    // of the reply head written
  bool FHeld = false;     // output written but perhaps not yet sent
  bool FWaitedSinceOutput = false;  // a quiet wait has passed since the last output
};

}  // namespace

bool AwaitBodyStart(TIdTCPConnection& connection, std::int64_t bodyCount, int stallMs) {
  if (bodyCount <= 0 || connection.InputQueue().Size() > 0) return true;
  return connection.FillInputQueue(true, stallMs, false) > 0;
}

void RelayCgi(TIdTCPConnection& connection, TCgiChild& child, std::int64_t bodyCount, int stallMs) {
  TRelay relay(connection, child, bodyCount, stallMs);
  relay.Run();
}

namespace {

// RFC 9110's token characters, of which a field name is made.
bool IsTokenChar(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

bool IsFieldLine(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == 0 || colon == std::string_view::npos) return false;
  for (std::size_t i = 0; i < colon; ++i)
    if (!IsTokenChar(static_cast<unsigned char>(line[i]))) return false;
  return line.find_first_of(std::string_view("\r\n\0", 3), colon) == std::string_view::npos;
}

bool IsStatusValue(const std::string& value) {
  const auto digit = [&value](std::size_t i) { return i < value.size() && value[i] >= '0' && value[i] <= '9'; };
  return digit(0) && digit(1) && digit(2) && value[0] >= '1' && value[0] <= '5' &&
         (value.size() == 3 || value[3] == ' ' || value[3] == '\t');
}

}  // namespace

const char* const kCgiBadGatewayReply =
    "HTTP/1.1 502 Bad Gateway\r\nServer: Ovrin\r\nConnection: close\r\n"
    "Content-Type: text/plain; charset=utf-8\r\nContent-Length: 38\r\n\r\n"
    "The page did not give a valid answer.\n";

bool CgiHeadIsWellFormed(const std::string& headerBlock) {
  static constexpr std::string_view kEnd = "\r\n\r\n";
  const std::string_view block(headerBlock);
  if (block.size() <= kEnd.size() || block.substr(block.size() - kEnd.size()) != kEnd) return false;
  // Each field line ends with CRLF; the block's last CRLF is its empty line.
  const std::size_t fieldsEnd = block.size() - 2;
  for (std::size_t at = 0; at < fieldsEnd;) {
    const std::size_t lineEnd = block.find("\r\n", at);
    if (!IsFieldLine(block.substr(at, lineEnd - at))) return false;
    at = lineEnd + 2;
  }
  const std::string status = TOstrel::GetHeaderValue(headerBlock, "status");
  return status.empty() || IsStatusValue(status);
}

int CgiStatusCode(const std::string& headerBlock) {
  const std::string status = TOstrel::GetHeaderValue(headerBlock, "status");
  return IsStatusValue(status) ? std::stoi(status.substr(0, 3)) : 200;
}

std::string CgiReplyHead(const std::string& headerBlock) {
  const std::string status = TOstrel::GetHeaderValue(headerBlock, "status");
  return "HTTP/1.1 " + (status.empty() ? std::string("200 OK") : status) +
         "\r\nServer: Ovrin\r\nConnection: close\r\n" + headerBlock;
}
