// ReadRequest over loopback: a head in pieces, a head that never ends, a
// client that leaves before the empty line, and the web server's time limit
// on the head.
#include <gtest/gtest.h>

#include <string>

#include "http/ostrel.h"
#include "http/web_server.h"
#include "support/loopback_client.h"
#include "support/server_harness.h"
#include "support/temp_dir.h"

namespace {

struct TRead : TShared {
  std::string Head;
  std::size_t Queued = 0;
  TCaught Error;
  bool Done = false;
};

// A server whose handler reads one request head and closes.
class TReadServer : public TTestServer {
 public:
  explicit TReadServer(TRead& r)
      : TTestServer([&r](TIdPeerThread& t) {
          std::string head;
          const TCaught error = CaughtFrom([&] { head = TOstrel::ReadRequest(t).Head(); });
          std::size_t queued = t.Connection()->InputQueue().Size();
          r.Update([&] {
            r.Head = head;
            r.Queued = queued;
            r.Error = error;
            r.Done = true;
          });
          t.Connection()->CloseConnection();
        }) {}
};

TEST(ReadRequest, HeadInSeveralPacketsIsReadWholeAndInOrder) {
  TRead r;
  TReadServer server(r);
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  const std::string parts[] = {"GE", "T /index.html HTTP/1.1\r", "\nHost: 127.0.0.1\r\n", "\r", "\n"};
  std::string whole;
  for (const auto& p : parts) {
    EXPECT_FALSE(r.Read([&] { return r.Done; })) << "returned before the empty line: " << whole;
    ASSERT_TRUE(client.Send(p));
    whole += p;
    SleepMs(20);
  }
  ASSERT_TRUE(r.WaitFor([&] { return r.Done; }));
  EXPECT_EQ(whole, r.Head);
  EXPECT_EQ("/index.html", TOstrel::GetRequestField(r.Head, "url"));
}

TEST(ReadRequest, StopsAtTheFirstEmptyLineAndLeavesTheBodyQueued) {
  TRead r;
  TReadServer server(r);
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  const std::string head = "POST /form.php HTTP/1.1\r\nContent-Length: 7\r\n\r\n";
  ASSERT_TRUE(client.Send(head + "a=1&b=2"));
  ASSERT_TRUE(r.WaitFor([&] { return r.Done; }));
  EXPECT_EQ(head, r.Head);
  EXPECT_EQ(7u, r.Queued);
}

TEST(ReadRequest, HeadOverTheLimitIsRefused) {
  TRead r;
  TReadServer server(r);
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  std::string head = "GET / HTTP/1.1\r\n";
  while (head.size() < TOstrel::kMaxRequestHead + 1000) head += "X-Filler: 0123456789abcdef0123456789\r\n";
  ASSERT_TRUE(client.Send(head));  // no empty line: the head would go on for ever
  ASSERT_TRUE(r.WaitFor([&] { return r.Done; }));
  EXPECT_NE("", r.Error.Message) << "a head of " << head.size() << " bytes was accepted";
  EXPECT_EQ("", r.Head);
  std::string rest;
  client.ReadToEnd(rest, 5000);  // a close, or a reset for the bytes left unread
  EXPECT_EQ("", rest);
}

TEST(ReadRequest, HeadJustUnderTheLimitIsRead) {
  TRead r;
  TReadServer server(r);
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  std::string head = "GET / HTTP/1.1\r\n";
  head += "X-Filler: " + std::string(TOstrel::kMaxRequestHead - head.size() - 14, 'f') + "\r\n\r\n";
  ASSERT_EQ(TOstrel::kMaxRequestHead, head.size());
  ASSERT_TRUE(client.Send(head));
  ASSERT_TRUE(r.WaitFor([&] { return r.Done; }));
  EXPECT_EQ("", r.Error.Message);
  EXPECT_EQ(head.size(), r.Head.size());
}

TEST(ReadRequest, ClientLeavingBeforeTheEmptyLineFailsTheRead) {
  TRead r;
  TReadServer server(r);
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  ASSERT_TRUE(client.Send("GET / HTTP/1.1\r\nHost: x\r\n"));
  SleepMs(20);
  client.Close();
  ASSERT_TRUE(r.WaitFor([&] { return r.Done; }));
  EXPECT_EQ("EIdConnClosedGracefully", r.Error.ClassName);
  EXPECT_EQ("", r.Head);
}

// The web server with a short head limit (and write limit), serving a site
// from a temporary application directory through connections of a test server.
class THeadLimitedSite {
 public:
  explicit THeadLimitedSite(int headTimeoutMs, int writeTimeoutMs = TWebServer::kWriteTimeoutMs)
      : FApp("head-limit"), Server([this](TIdPeerThread& t) { Web.HandleConnection(t); }) {
    FApp.Write("www/big.bin", std::string(8 << 20, 'b'));
    Web.RequestHeadTimeoutMs = headTimeoutMs;
    Web.WriteTimeoutMs = writeTimeoutMs;
    Web.Start(0);  // takes the site root; its own listener is not used
  }

 private:
  TTempAppDir FApp;

 public:
  TWebServer Web;
  TTestServer Server;
};

TEST(ReadRequest, WebServerClosesAHeadNotCompleteInTimeWithoutAReply) {
  THeadLimitedSite site(300);
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(site.Server.Port));
  ASSERT_TRUE(client.Send("GET /big.bin HTTP/1.1\r\n"));
  // A byte every 100 ms: the limit runs from the accept, not from the last byte.
  std::string got;
  bool closed = false;
  for (int i = 0; i < 100 && !closed; ++i) closed = !client.Send("x") || client.Receive(got, 100) == 0;
  EXPECT_TRUE(closed) << "a head trickling in for 10 s was still read";
  EXPECT_EQ("", got);
}

TEST(ReadRequest, WebServerDoesNotLimitAReplyThatOutlastsTheHeadLimit) {
  THeadLimitedSite site(300);
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(site.Server.Port, 4096));
  ASSERT_TRUE(client.Send("GET /big.bin HTTP/1.1\r\n\r\n"));
  SleepMs(1000);  // the reply waits for the reader well past the limit
  std::string got;
  EXPECT_TRUE(client.ReadToEnd(got, 60000));
  const std::size_t blank = got.find("\r\n\r\n");
  ASSERT_NE(std::string::npos, blank);
  EXPECT_EQ(std::size_t{8} << 20, got.size() - blank - 4);
}

// A reply whose client takes nothing for the write limit is ended; one whose
// client takes a little at a time, with pauses shorter than the limit, goes on
// well past it and arrives whole.
TEST(ReadRequest, WebServerEndsAReplyWhoseClientStopsTaking) {
  THeadLimitedSite site(60000, 500);
  TLoopbackClient steady, stopped;
  ASSERT_TRUE(steady.Connect(site.Server.Port, 4096) && steady.Send("GET /big.bin HTTP/1.1\r\n\r\n"));
  ASSERT_TRUE(stopped.Connect(site.Server.Port, 4096) && stopped.Send("GET /big.bin HTTP/1.1\r\n\r\n"));
  std::string got;
  const auto since = std::chrono::steady_clock::now();
  while (ElapsedMs(since) < 3000) {
    steady.Receive(got, 200);
    SleepMs(200);
  }
  EXPECT_TRUE(steady.ReadToEnd(got, 60000));
  const std::size_t blank = got.find("\r\n\r\n");
  ASSERT_NE(std::string::npos, blank);
  EXPECT_EQ(std::size_t{8} << 20, got.size() - blank - 4) << "the steady reader's reply was cut";
  // The other's reply was ended long ago: its client finds it cut short.
  std::string cut;
  stopped.ReadToEnd(cut, 10000);
  EXPECT_LT(cut.size(), std::size_t{8} << 20);
}

}  // namespace
