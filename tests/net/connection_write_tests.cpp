// Writes and closes of a connection over loopback: texts, files, and a client
// that resets the connection in the middle of a file.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/loopback_client.h"
#include "support/server_harness.h"
#include "support/temp_dir.h"

namespace {

struct TWriteResult : TShared {
  TCaught Error;
  std::int64_t Sent = -1;
  bool ConnectedAfter = true;
  bool Done = false;
};

// Runs write on the server's side of a fresh connection and gives the client
// everything the server sent up to its close.
std::string Serve(TWriteResult& r, std::function<std::int64_t(TIdTCPConnection&)> write) {
  TTestServer server([&](TIdPeerThread& t) {
    auto& c = *t.Connection();
    std::int64_t sent = -1;
    const TCaught error = CaughtFrom([&] { sent = write(c); });
    bool connected = c.IsConnected();
    r.Update([&] {
      r.Error = error;
      r.Sent = sent;
      r.ConnectedAfter = connected;
      r.Done = true;
    });
  });
  TLoopbackClient client;
  std::string got;
  if (!client.Connect(server.Port)) return "<no connection>";
  if (!client.ReadToEnd(got, 5000)) got += "<no end>";
  r.WaitFor([&] { return r.Done; });
  return got;
}

TEST(ConnectionWrite, FileOf100000BytesArrivesWholeAndInOrder) {
  TTempDir dir;
  std::string content(100000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
  std::string path = dir.Write("big.bin", content);
  TWriteResult r;
  std::string got = Serve(r, [&](TIdTCPConnection& c) {
    std::int64_t n = c.WriteFileContents(path, false);
    c.CloseConnection();
    return n;
  });
  EXPECT_EQ("", r.Error.Message);
  EXPECT_EQ(100000, r.Sent);
  ASSERT_EQ(content.size(), got.size());
  EXPECT_TRUE(content == got) << "the bytes arrived changed or out of order";
}

TEST(ConnectionWrite, EmptyFileSendsNothingAndReturnsZero) {
  TTempDir dir;
  std::string path = dir.Write("empty.txt", "");
  TWriteResult r;
  std::string got = Serve(r, [&](TIdTCPConnection& c) {
    std::int64_t n = c.WriteFileContents(path, false);
    c.CloseConnection();
    return n;
  });
  EXPECT_EQ("", r.Error.Message);
  EXPECT_EQ(0, r.Sent);
  EXPECT_EQ("", got);
}

TEST(ConnectionWrite, MissingFileRaisesFileNotFoundWithItsPath) {
  TTempDir dir;
  std::string path = dir.At("no such file.txt");
  TWriteResult r;
  std::string got = Serve(r, [&](TIdTCPConnection& c) { return c.WriteFileContents(path, false); });
  EXPECT_EQ("EIdFileNotFound", r.Error.ClassName);
  EXPECT_EQ("File \"" + path + "\" not found", r.Error.Message);
  EXPECT_TRUE(r.ConnectedAfter) << "a missing file must not close the connection";
  EXPECT_EQ("", got);
}

TEST(ConnectionWrite, DirectoryIsNotAFileToSend) {
  TTempDir dir;
  TWriteResult r;
  Serve(r, [&](TIdTCPConnection& c) { return c.WriteFileContents(dir.Path(), false); });
  EXPECT_EQ("EIdFileNotFound", r.Error.ClassName);
}

#ifdef _WIN32
// Files are sent with write access denied to others: one that is being written fails to open.
TEST(ConnectionWrite, FileOpenForWritingElsewhereRaisesFOpenError) {
  TTempDir dir;
  std::string path = dir.Write("busy.txt", "x");
  std::ofstream writer(path, std::ios::binary | std::ios::app);
  ASSERT_TRUE(writer.is_open());
  TWriteResult r;
  Serve(r, [&](TIdTCPConnection& c) { return c.WriteFileContents(path, false); });
  EXPECT_EQ("EFOpenError", r.Error.ClassName);
  EXPECT_EQ(0u, r.Error.Message.rfind("Cannot open file \"" + path + "\". ", 0)) << r.Error.Message;
}
#endif

TEST(ConnectionWrite, TextsArriveInOrderWithoutBuffering) {
  TWriteResult r;
  std::string got = Serve(r, [&](TIdTCPConnection& c) {
    c.WriteText("HTTP/1.1 200 OK\r\n");
    c.WriteText("");
    c.WriteText(std::string("\0\xff\r\n", 4));
    c.CloseConnection();
    return 0;
  });
  EXPECT_EQ(std::string("HTTP/1.1 200 OK\r\n\0\xff\r\n", 21), got);
}

TEST(ConnectionWrite, AfterCloseConnectionWritesRaiseNotConnectedButEmptyTextDoesNothing) {
  struct : TWriteResult {
    bool ConnectedAfterClose = true;
    std::string EmptyWrite;
  } r;
  std::string got = Serve(r, [&](TIdTCPConnection& c) {
    c.WriteText("bye");
    c.CloseConnection();
    bool connected = c.IsConnected();
    std::string empty = "ok";
    try {
      c.WriteText("");
    } catch (const std::exception& e) {
      empty = e.what();
    }
    r.Update([&] {
      r.ConnectedAfterClose = connected;
      r.EmptyWrite = empty;
    });
    c.WriteText("more");
    return 0;
  });
  EXPECT_EQ("bye", got);
  EXPECT_FALSE(r.ConnectedAfterClose);
  EXPECT_EQ("ok", r.EmptyWrite);
  EXPECT_EQ("EIdNotConnected", r.Error.ClassName);
  EXPECT_EQ("Not Connected", r.Error.Message);
}

TEST(ConnectionWrite, EmptyTextOnAConnectionThePeerClosedDoesNothing) {
  struct : TShared {
    std::string Empty, NonEmpty;
    bool Done = false;
  } s;
  TTestServer server([&](TIdPeerThread& t) {
    auto& c = *t.Connection();
    std::string empty = "ok", nonEmpty = "ok";
    try {
      c.ReadByte();  // fails: the client closes without sending
    } catch (const std::exception&) {
    }
    try {
      c.WriteText("");
    } catch (const std::exception& e) {
      empty = e.what();
    }
    try {
      c.WriteText("late");
    } catch (const std::exception& e) {
      nonEmpty = e.what();
    }
    s.Update([&] {
      s.Empty = empty;
      s.NonEmpty = nonEmpty;
      s.Done = true;
    });
  });
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  client.Close();
  ASSERT_TRUE(s.WaitFor([&] { return s.Done; }));
  EXPECT_EQ("ok", s.Empty);
  EXPECT_EQ("Connection Closed Gracefully.", s.NonEmpty);
}

// A client that resets while a large file is on its way: the send fails with
// 10054 on both platforms, and the connection is closed.
TEST(ConnectionWrite, ResetDuringAFileRaisesConnectionResetBy10054) {
  TTempDir dir;
  // Far more than the socket buffers hold while the client reads nothing.
  std::string path = dir.Write("huge.bin", std::string(32 * 1024 * 1024, 'z'));
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    struct : TShared {
      bool Writing = false, Done = false, ConnectedAfter = true;
      TCaught Error;
    } s;
    TTestServer server([&](TIdPeerThread& t) {
      auto& c = *t.Connection();
      s.Update([&] { s.Writing = true; });
      const TCaught error = CaughtFrom([&] { c.WriteFileContents(path, false); });
      bool connected = c.IsConnected();
      s.Update([&] {
        s.Error = error;
        s.ConnectedAfter = connected;
        s.Done = true;
      });
    });
    TLoopbackClient client;
    ASSERT_TRUE(client.Connect(server.Port, 4096));
    ASSERT_TRUE(s.WaitFor([&] { return s.Writing; }));
    SleepMs(100 + 50 * round);  // the buffers fill and the server blocks in its send
    if (round == 2) {
      // A client that half-closes first, then resets.
      client.ShutdownSend();
      SleepMs(50);
    }
    client.Reset();
    ASSERT_TRUE(s.WaitFor([&] { return s.Done; }, 10000));
    EXPECT_EQ("EIdSocketError", s.Error.ClassName) << s.Error.Message;
    EXPECT_EQ(10054, s.Error.LastError);
    EXPECT_EQ("Socket Error # 10054\r\nConnection reset by peer.", s.Error.Message);
    EXPECT_FALSE(s.ConnectedAfter);
  }
}

}  // namespace
