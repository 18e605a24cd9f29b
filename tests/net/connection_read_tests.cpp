// Reads of a connection over loopback: the queue, packet boundaries, early closes
// and the wake-up of a blocked read from another thread.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/loopback_client.h"
#include "support/server_harness.h"

namespace {

TEST(ConnectionRead, HeadInSeveralPacketsIsReadByteByByteInOrder) {
  struct : TShared {
    std::string Got;
    std::size_t Queued = 99;  // InputQueue size after each read
    bool Done = false;
    TCaught Error;
  } s;
  TTestServer server([&](TIdPeerThread& t) {
    auto& c = *t.Connection();
    try {
      for (;;) {
        char b = static_cast<char>(c.ReadByte());
        std::size_t queued = c.InputQueue().Size();
        bool end = false;
        s.Update([&] {
          s.Got.push_back(b);
          s.Queued = queued;
          end = s.Got.size() >= 4 && s.Got.compare(s.Got.size() - 4, 4, "\r\n\r\n") == 0;
          s.Done = end;
        });
        if (end) break;
      }
    } catch (const std::exception& e) {
      s.Update([&] { s.Error = Describe(e); });
    }
    c.CloseConnection();
  });
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  const std::string parts[] = {"GET /a HT", "TP/1.1\r\nHost: x\r\n", "\r", "\n"};
  std::string sent;
  for (const auto& part : parts) {
    ASSERT_TRUE(client.Send(part));
    sent += part;
    // The reader takes exactly what has arrived, served from the queue, then waits.
    ASSERT_TRUE(s.WaitFor([&] { return s.Got.size() == sent.size() && s.Queued == 0; })) << s.Got;
    SleepMs(30);
    EXPECT_EQ(sent.size(), s.Read([&] { return s.Got.size(); }));
  }
  ASSERT_TRUE(s.WaitFor([&] { return s.Done; }));
  EXPECT_EQ(sent, s.Read([&] { return s.Got; }));
  EXPECT_EQ("", s.Read([&] { return s.Error.ClassName; }));
}

TEST(ConnectionRead, SecondRequestOfOnePacketStaysInTheQueue) {
  const std::string first = "GET /a HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string second = "GET /b HTTP/1.1\r\n\r\n";
  struct : TShared {
    std::string Head, Left;
    bool Done = false;
  } s;
  TTestServer server([&](TIdPeerThread& t) {
    auto& c = *t.Connection();
    std::string head;
    while (head.size() < 4 || head.compare(head.size() - 4, 4, "\r\n\r\n") != 0)
      head.push_back(static_cast<char>(c.ReadByte()));
    std::string left(c.InputQueue().Size(), '\0');
    c.InputQueue().Take(left.data(), left.size());
    s.Update([&] {
      s.Head = head;
      s.Left = left;
      s.Done = true;
    });
    c.CloseConnection();
  });
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  ASSERT_TRUE(client.Send(first + second));
  ASSERT_TRUE(s.WaitFor([&] { return s.Done; }));
  EXPECT_EQ(first, s.Head);
  EXPECT_EQ(second, s.Left);
}

TEST(ConnectionRead, PeerClosingInsideADeclaredBodyEndsReadExactGracefully) {
  struct : TShared {
    TCaught Error;
    std::size_t QueuedAfter = 0;
    std::string ReadAfter;
    bool Done = false;
  } s;
  TTestServer server([&](TIdPeerThread& t) {
    auto& c = *t.Connection();
    std::string after;
    char body[100];
    const TCaught error = CaughtFrom([&] { c.ReadExact(body, 100); });
    std::size_t queued = c.InputQueue().Size();
    try {
      // What arrived before the close is still there for a read that fits.
      c.ReadExact(body, static_cast<int>(queued));
      after.assign(body, queued);
    } catch (const std::exception& e) {
      after = std::string("raised: ") + e.what();
    }
    s.Update([&] {
      s.Error = error;
      s.QueuedAfter = queued;
      s.ReadAfter = after;
      s.Done = true;
    });
  });
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  const std::string half(50, 'b');
  ASSERT_TRUE(client.Send(half));
  SleepMs(20);
  client.Close();
  ASSERT_TRUE(s.WaitFor([&] { return s.Done; }));
  EXPECT_EQ("EIdConnClosedGracefully", s.Error.ClassName);
  EXPECT_EQ("Connection Closed Gracefully.", s.Error.Message);
  EXPECT_EQ(50u, s.QueuedAfter);
  EXPECT_EQ(half, s.ReadAfter);
}

TEST(ConnectionRead, DropSocketFromAnotherThreadWakesABlockedRead) {
  struct : TShared {
    TIdTCPServerConnection* Connection = nullptr;
    TCaught Error;
    bool Done = false;
  } s;
  TTestServer server([&](TIdPeerThread& t) {
    s.Update([&] { s.Connection = t.Connection(); });
    const TCaught error = CaughtFrom([&] { t.Connection()->ReadByte(); });
    s.Update([&] {
      s.Error = error;
      s.Done = true;
    });
  });
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  ASSERT_TRUE(s.WaitFor([&] { return s.Connection != nullptr; }));
  SleepMs(50);  // let the handler block in its receive
  // The handler cannot return, and so cannot free the connection, before this
  // wakes it; the client sends nothing, so only the drop can end the read.
  s.Read([&] { return s.Connection; })->DropSocket();
  ASSERT_TRUE(s.WaitFor([&] { return s.Done; })) << "the blocked read was not woken";
  std::string cls = s.Read([&] { return s.Error.ClassName; });
  EXPECT_TRUE(cls == "EIdConnClosedGracefully" || cls == "EIdSocketError" || cls == "EIdClosedSocket" ||
              cls == "EIdReadTimeout")
      << cls;
  std::string rest;
  EXPECT_TRUE(client.ReadToEnd(rest, kPatienceMs));
}

}  // namespace
