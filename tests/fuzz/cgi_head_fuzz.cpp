// cgi_head_fuzz.cpp - interpreter output, cut into reads as a pipe would give
// it, through the gateway's relay to a real connection: the client must get the
// reply head made from a well-formed header block, then every byte of the output in order (else a 502).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "fuzz/connection_pair.h"
#include "http/cgi_relay.h"
#include "http/ostrel.h"

namespace {

// The relay's cap on a header block without an empty line.
constexpr std::size_t kMaxHeaderBlock = 64 * 1024;
constexpr std::size_t kMaxRead = 16 * 1024;  // below what the relay asks for at a time

// An interpreter whose output arrives in the given reads ("" = nothing waiting
// yet), that takes no input, and has ended once the reads are given. Its
// waits end at once.
class TReadsChild : public TCgiChild {
 public:
  explicit TReadsChild(std::vector<std::string> reads) : FReads(std::move(reads)) {}
  int ReadOutput(char* buffer, int n) override {
    if (FNext == FReads.size()) return -1;
    const std::string& read = FReads[FNext++];
    if (read.size() > static_cast<std::size_t>(n)) std::abort();
    read.copy(buffer, read.size());
    return static_cast<int>(read.size());
  }
  int WriteInput(const char*, int) override { return -1; }
  bool Ended() override { return FNext == FReads.size(); }
  bool Failed() override { return false; }
  void PrepareWait(TIdWaitList&, bool, int& timeoutMs) override { timeoutMs = 0; }
  void Waited(bool) override {}

 private:
  std::vector<std::string> FReads;
  std::size_t FNext = 0;
};

// The header block as the relay must take it: up to the first empty line, or
// what had come when it passed the cap, or all of it.
std::string HeaderBlock(const std::vector<std::string>& reads) {
  std::string block;
  for (const std::string& read : reads) {
    block += read;
    const std::size_t blank = block.find("\r\n\r\n");
    if (blank != std::string::npos) return block.substr(0, blank + 4);
    if (block.size() >= kMaxHeaderBlock) return block;
  }
  return block;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  std::vector<std::string> reads;
  std::string output;
  while (provider.remaining_bytes() > 0) {
    reads.push_back(provider.ConsumeBytesAsString(provider.ConsumeIntegralInRange<std::size_t>(0, kMaxRead)));
    output += reads.back();
  }
  const std::string block = HeaderBlock(reads);
  std::string expected;
  if (!output.empty())
    expected = CgiHeadIsWellFormed(block) ? CgiReplyHead(block) + output.substr(block.size()) : kCgiBadGatewayReply;
  // A block that passes holds no line break but those that end its lines.
  if (CgiHeadIsWellFormed(block)) {
    const std::size_t fields = block.size() - 4;
    for (std::size_t i = 0; i < fields; ++i)
      if ((block[i] == '\n' && (i == 0 || block[i - 1] != '\r')) || block[i] == '\0') std::abort();
  }

  // The status line comes from the block's own "Status:" value, trimmed.
  const std::string status = TOstrel::GetHeaderValue(block, "status");
  if (!status.empty() && (static_cast<unsigned char>(status.front()) <= ' ' ||
                          static_cast<unsigned char>(status.back()) <= ' '))
    std::abort();

  std::string reply;
  {
    TConnectionPair pair;
    std::thread client([&] { reply = pair.ClientReadToEnd(); });
    TReadsChild child(reads);
    RelayCgi(pair.Server, child, 0);
    pair.Server.CloseConnection();
    client.join();
  }
  if (reply != expected) {
    std::fprintf(stderr, "reply of %zu bytes, %zu expected\n", reply.size(), expected.size());
    std::abort();
  }
  return 0;
}
