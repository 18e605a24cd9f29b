// cgi_relay_tests.cpp - the relay between a real connection and a scripted
// interpreter: body blocks, the reply head or a 502, a failing page, a page that stops reading.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <thread>

#include "http/cgi_relay.h"
#include "support/loopback_client.h"
#include "support/server_harness.h"

namespace {

constexpr const char* kRanEmpty = "";  // an output step where nothing is waiting

// Gives its output steps one per read, takes input as told, and ends once both
// are done; it is busy every other time a block is offered.
class TScriptedChild : public TCgiChild {
 public:
  TScriptedChild(std::deque<std::string> output, std::size_t inputWanted, bool closesInput = false)
      : FOutput(std::move(output)), FInputWanted(inputWanted), FClosesInput(closesInput) {}

  // Takes no input at all until this many offers have been refused.
  int BusyOffers = 0;
  // Ends in failure (its time or memory ran out, say).
  bool Fails = false;

  int ReadOutput(char* buffer, int n) override {
    if (FOutput.empty()) return -1;
    std::string step = FOutput.front();
    FOutput.pop_front();
    ++FStepsGiven;
    if (step.empty()) return 0;
    EXPECT_LE(static_cast<int>(step.size()), n);
    step.copy(buffer, step.size());
    return static_cast<int>(step.size());
  }
  int WriteInput(const char* block, int n) override {
    if (FClosesInput) return -1;
    if (BusyOffers > 0) {
      --BusyOffers;
      return 0;
    }
    if ((FOffers++ % 2) == 0) return 0;
    Blocks.push_back(n);
    Input.append(block, static_cast<std::size_t>(n));
    return n;
  }
  bool Ended() override { return FOutput.empty() && (FClosesInput || Input.size() >= FInputWanted); }
  bool Failed() override { return Fails; }
  // Each wait lasts a millisecond: the script has nothing to wake it.
  void PrepareWait(TIdWaitList&, bool, int& timeoutMs) override {
    UnsentAtWaits.emplace_back(FStepsGiven, UnsentBytes(Socket));
    timeoutMs = 1;
  }
  void Waited(bool) override {}

  socket_t Socket = kInvalidSocket;  // the connection's, for what it holds unsent
  std::vector<int> Blocks;
  std::string Input;
  // Per wait: the output steps given so far, and what the socket held unsent.
  std::vector<std::pair<std::size_t, int>> UnsentAtWaits;

 private:
  std::deque<std::string> FOutput;
  std::size_t FInputWanted;
  bool FClosesInput;
  int FOffers = 0;
  std::size_t FStepsGiven = 0;
};

// Serves one connection through the relay; returns what the client received.
// Given reset, the connection may end in one, within 5 s, and says whether it did.
std::string Exchange(TScriptedChild& child, std::int64_t bodyCount, const std::string& body,
                     std::size_t pieceSize = 1000, int stallMs = kBodyStallMs, bool* reset = nullptr) {
  TTestServer server([&](TIdPeerThread& thread) {
    child.Socket = thread.Connection()->SocketHandler()->Endpoint().Handle();
    RelayCgi(*thread.Connection(), child, bodyCount, stallMs);
    thread.Connection()->CloseConnection();
  });
  TLoopbackClient client;
  EXPECT_TRUE(client.Connect(server.Port));
  for (std::size_t at = 0; at < body.size(); at += pieceSize) {
    EXPECT_TRUE(client.Send(body.substr(at, pieceSize)));
    SleepMs(1);
  }
  std::string reply;
  const auto started = std::chrono::steady_clock::now();
  const bool ended = client.ReadToEnd(reply, 10000);
  if (reset != nullptr) *reset = client.WasReset();
  EXPECT_TRUE(reset != nullptr ? ElapsedMs(started) < 5000 : ended) << "the reply did not end in time";
  EXPECT_TRUE(server.WaitIdle());
  return reply;
}

std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7) % 26);
  return s;
}

const std::string kServerLines = "Server: Ovrin\r\nConnection: close\r\n";

}  // namespace

TEST(CgiRelayTest, BodyGoesInWholeBlocksOf4096AndTheRest) {
  const std::string body = Pattern(10000);
  TScriptedChild child({"Content-Type: text/plain\r\n\r\nok"}, body.size());
  std::string reply = Exchange(child, 10000, body, 3333);
  EXPECT_EQ(child.Blocks, (std::vector<int>{4096, 4096, 1808}));
  EXPECT_EQ(child.Input, body);
  EXPECT_EQ(reply, "HTTP/1.1 200 OK\r\n" + kServerLines + "Content-Type: text/plain\r\n\r\nok");
}

TEST(CgiRelayTest, HeaderBlockSplitAcrossReadsGivesItsStatus) {
  TScriptedChild child({"Status: 404 Not", " Found\r\nX-A: 1\r", "\n\r", "\nbody", kRanEmpty, "more"}, 0);
  EXPECT_EQ(Exchange(child, 0, ""),
            "HTTP/1.1 404 Not Found\r\n" + kServerLines + "Status: 404 Not Found\r\nX-A: 1\r\n\r\nbodymore");
}

// A pause inside the header block must not decide the status.
TEST(CgiRelayTest, HeaderBlockWaitsForItsEmptyLine) {
  TScriptedChild child({"X-A: 1\r\n", kRanEmpty, kRanEmpty, "Status: 500 Late\r\n\r\nbody"}, 0);
  EXPECT_EQ(Exchange(child, 0, ""), "HTTP/1.1 500 Late\r\n" + kServerLines + "X-A: 1\r\nStatus: 500 Late\r\n\r\nbody");
}

// Output that is not a well-formed header block within 64 KiB (PHP's errors share
// it) is answered 502 with none of it. Values may be empty, hold tabs and UTF-8.
TEST(CgiRelayTest, OutputWithoutAWellFormedHeadGetsABadGatewayAndNoneOfIt) {
  for (const std::deque<std::string>& output : std::vector<std::deque<std::string>>{
           {"no empty", " line"},
           {"PHP Warning:  PHP Startup: Unable to load dynamic library 'gd'\n", "Content-type: text/html\r\n\r\nbody"},
           {"Content-type: text/html\r\nFatal error: out of memory in /app/www/x.php\r\n\r\nbody"},
           {std::string(40000, 'x'), std::string(40000, 'x'), "more"}}) {
    TScriptedChild child(output, 0);
    EXPECT_EQ(Exchange(child, 0, ""), kCgiBadGatewayReply) << output.front().substr(0, 40);
  }
  for (const std::string& block : std::vector<std::string>{
           "A: b\n\r\n", "A: b\rc\r\n\r\n", std::string("A: b\0c\r\n\r\n", 10), ": b\r\n\r\n", "A\r\n\r\n", "\r\n\r\n",
           "Status: 600 X\r\n\r\n", "Status: 2000\r\n\r\n", "Status: OK\r\n\r\n", "HTTP/1.1 200 OK\r\n\r\n"})
    EXPECT_FALSE(CgiHeadIsWellFormed(block)) << block;
  for (const char* block : {"X-Empty:\r\n\r\n", "A: b\tc d\r\n\r\n", "A: caf\xc3\xa9\r\n\r\n", "Status: 599\r\n\r\n"})
    EXPECT_TRUE(CgiHeadIsWellFormed(block)) << block;
}

// A page that dies after its head said success must not look like a whole
// reply: the connection is reset. One that said it failed keeps its page.
TEST(CgiRelayTest, PageThatFailsAfterAnnouncingSuccessEndsWithAReset) {
  for (const auto& [output, resets] : std::vector<std::pair<std::deque<std::string>, bool>>{
           {{"Content-Type: text/plain\r\n\r\n", "part of"}, true},
           {{"Status: 302 Found\r\nLocation: /x\r\n\r\n"}, true},
           {{"Status: 500 Internal Server Error\r\n\r\n", "<p>Something went wrong.</p>"}, false}}) {
    TScriptedChild child(output, 0);
    child.Fails = true;
    bool reset = false;
    const std::string reply = Exchange(child, 0, "", 1000, kBodyStallMs, &reset);
    EXPECT_EQ(reset, resets) << output.front();
    EXPECT_TRUE(resets || reply.ends_with("\r\n\r\n" + output.back())) << "the failed page kept: " << reply;
  }
}

TEST(CgiRelayTest, NoOutputNoReply) {
  TScriptedChild child({}, 0);
  EXPECT_EQ(Exchange(child, 0, ""), "");
}

TEST(CgiRelayTest, BodyThatThePageDoesNotReadIsStillConsumed) {
  const std::string body = Pattern(300000);
  TScriptedChild child({"A: b\r\n\r\n", "done"}, 0, true);
  EXPECT_EQ(Exchange(child, static_cast<std::int64_t>(body.size()), body, 65536),
            "HTTP/1.1 200 OK\r\n" + kServerLines + "A: b\r\n\r\ndone");
  EXPECT_TRUE(child.Blocks.empty());
}

TEST(CgiRelayTest, ReplyHeadTakesTheStatusValueAsItIs) {
  EXPECT_EQ(CgiReplyHead("Status: 302 Found\r\nLocation: /x\r\n\r\n"),
            "HTTP/1.1 302 Found\r\n" + kServerLines + "Status: 302 Found\r\nLocation: /x\r\n\r\n");
  EXPECT_EQ(CgiReplyHead("status:   201 Made  \r\n\r\n"), "HTTP/1.1 201 Made\r\n" + kServerLines + "status:   201 Made  \r\n\r\n");
  EXPECT_EQ(CgiReplyHead("X-Status: 500\r\n\r\n"), "HTTP/1.1 200 OK\r\n" + kServerLines + "X-Status: 500\r\n\r\n");
}

// Output is held briefly so that pieces written together leave together, but
// a page that then goes quiet must not keep what it wrote from the browser:
// within its first few quiet waits, and not on the kernel's own timer, the
// relay has let the piece go.
TEST(CgiRelayTest, OutputBeforeAPauseArrivesWithoutWaitingForMore) {
  std::deque<std::string> steps = {"Content-Type: text/plain\r\n\r\n", "first"};
  steps.insert(steps.end(), 400, kRanEmpty);  // 400 waits of quiet
  steps.push_back("second");
  TScriptedChild child(steps, 0);
  TTestServer server([&](TIdPeerThread& thread) {
    child.Socket = thread.Connection()->SocketHandler()->Endpoint().Handle();
    RelayCgi(*thread.Connection(), child, 0);
    thread.Connection()->CloseConnection();
  });
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  std::string reply;
  while (reply.find("first") == std::string::npos && client.Receive(reply, kPatienceMs) > 0) {
  }
  EXPECT_EQ(reply.find("second"), std::string::npos);
  EXPECT_TRUE(client.ReadToEnd(reply, 10000));
  EXPECT_EQ(reply, "HTTP/1.1 200 OK\r\n" + kServerLines + "Content-Type: text/plain\r\n\r\nfirstsecond");
  EXPECT_TRUE(server.WaitIdle());
  constexpr std::size_t kFirstGiven = 2, kQuietWaits = 4;
  std::vector<int> unsent;
  for (const auto& [given, bytes] : child.UnsentAtWaits)
    if (given > kFirstGiven && unsent.size() < kQuietWaits) unsent.push_back(bytes);
  ASSERT_EQ(unsent.size(), kQuietWaits);
  if (unsent.front() >= 0) {  // where the platform can tell
    EXPECT_EQ(unsent.back(), 0) << "the piece was still held after " << kQuietWaits << " quiet waits";
  }
}

// A body that stops coming ends the connection unanswered, however long the
// page would wait; a body held up by a page slow to take it is no stall.
TEST(CgiRelayTest, BodyThatStallsIsClosedWithoutAReply) {
  TScriptedChild child({}, 1000);  // a page that waits for all of its body
  TShared shared;
  TCaught caught;
  TTestServer server([&](TIdPeerThread& thread) {
    TCaught c = CaughtFrom([&] { RelayCgi(*thread.Connection(), child, 1000, 300); });
    shared.Update([&] { caught = c; });
  });
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  ASSERT_TRUE(client.Send(Pattern(10)));
  std::string reply;
  EXPECT_TRUE(client.ReadToEnd(reply, 20000)) << "the stalled body was waited for without end";
  EXPECT_EQ(reply, "");
  EXPECT_TRUE(server.WaitIdle());
  EXPECT_EQ(shared.Read([&] { return caught.ClassName; }), "EIdReadTimeout");

  TScriptedChild slow({"A: b\r\n\r\ndone"}, 1000);
  slow.BusyOffers = 600;  // about 600 ms of a page that takes no input
  EXPECT_EQ(Exchange(slow, 1000, Pattern(1000), 1000, 300), "HTTP/1.1 200 OK\r\n" + kServerLines + "A: b\r\n\r\ndone");
}

// No interpreter is started for a client that only announces a body.
TEST(CgiRelayTest, BodyStartIsAwaitedWithinTheStallLimit) {
  TShared shared;
  std::vector<int> outcomes;  // 1 started, 0 not within the limit
  TTestServer server([&](TIdPeerThread& thread) {
    TIdTCPConnection& connection = *thread.Connection();
    const bool none = AwaitBodyStart(connection, 0, 300);
    const bool started = AwaitBodyStart(connection, 5, 300);
    shared.Update([&] { outcomes.insert(outcomes.end(), {none ? 1 : 0, started ? 1 : 0}); });
    connection.CloseConnection();
  });
  {
    TLoopbackClient silent;  // announces a body and sends nothing
    ASSERT_TRUE(silent.Connect(server.Port));
    EXPECT_TRUE(shared.WaitFor([&] { return outcomes.size() == 2; }, 20000));
  }
  TLoopbackClient sender;
  ASSERT_TRUE(sender.Connect(server.Port));
  ASSERT_TRUE(sender.Send("x"));
  EXPECT_TRUE(shared.WaitFor([&] { return outcomes.size() == 4; }, 20000));
  EXPECT_EQ(shared.Read([&] { return outcomes; }), (std::vector<int>{1, 0, 1, 1}));
}
