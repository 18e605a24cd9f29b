// TIdTCPServer over loopback: binding, one OnConnect per connection, one thread
// per connection, closing what a handler leaves open, and deactivation.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <set>
#include <thread>

#include "support/cpu_time.h"
#include "support/loopback_client.h"
#include "support/server_harness.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

// 127.0.0.last as the socket layer gives addresses (network byte order).
std::uint32_t Loopback(unsigned char last) {
  const unsigned char bytes[4] = {127, 0, 0, last};
  std::uint32_t ip;
  std::memcpy(&ip, bytes, sizeof ip);
  return ip;
}

#ifndef _WIN32
// Lowers this process's open-files limit so that only `spare` more descriptors
// can be made; the old limit comes back with the object.
class TDescriptorLimit {
 public:
  explicit TDescriptorLimit(rlim_t spare) {
    ::getrlimit(RLIMIT_NOFILE, &FSaved);
    const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::close(lowestFree);
    rlimit low = FSaved;
    low.rlim_cur = static_cast<rlim_t>(lowestFree) + spare;
    ::setrlimit(RLIMIT_NOFILE, &low);
  }
  ~TDescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &FSaved); }

 private:
  rlimit FSaved{};
};
#endif

TEST(TcpServer, ActivationMakesOneBindingOnEveryAddressAndAcceptsLoopback) {
  TTestServer server([](TIdPeerThread& t) { t.Connection()->WriteText("hi"); });
  ASSERT_TRUE(server.Server.Active());
  ASSERT_EQ(1u, server.Server.Bindings().Count());
  EXPECT_EQ("", server.Server.Bindings()[0].IP);
  EXPECT_EQ("0.0.0.0", server.Server.Bindings()[0].LocalAddress());
  ASSERT_NE(0, server.Port);
  server.Server.SetActive(true);  // already active: nothing changes
  EXPECT_EQ(1u, server.Server.Bindings().Count());
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  std::string got;
  EXPECT_TRUE(client.ReadToEnd(got, 5000));
  EXPECT_EQ("hi", got);
}

TEST(TcpServer, BindingAPortThatIsListenedOnFailsAndLeavesTheServerInactive) {
  TLoopbackListener holder;
  ASSERT_NE(0, holder.Port());
  TIdTCPServer server;
  server.SetDefaultPort(holder.Port());
  try {
    server.SetActive(true);
    FAIL() << "bound a port that another socket listens on";
  } catch (const EIdCouldNotBindSocket& e) {
    EXPECT_STREQ("Could not bind socket. Address and port are already in use.", e.what());
  }
  EXPECT_FALSE(server.Active());
  // Once the port is free, a fresh binding gets it.
  holder.Close();
  server.Bindings().Clear();
  server.SetActive(true);
  EXPECT_TRUE(server.Active());
  server.SetActive(false);
  EXPECT_FALSE(server.Active());
  server.SetActive(false);  // already inactive: nothing happens
}

TEST(TcpServer, ServerCanBeActivatedAgainAfterDeactivation) {
  std::atomic<int> calls{0};
  TTestServer server([&](TIdPeerThread& t) {
    ++calls;
    t.Connection()->CloseConnection();
  });
  int port = server.Port;
  server.Server.SetActive(false);
  server.Server.Bindings().Clear();
  server.Server.SetDefaultPort(port);
  server.Server.SetActive(true);
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(port));
  std::string got;
  EXPECT_TRUE(client.ReadToEnd(got, 5000));
  EXPECT_TRUE(server.WaitIdle());
  EXPECT_EQ(1, calls.load());
}

TEST(TcpServer, ClientThatConnectsAndClosesAtOnceGetsExactlyOneOnConnect) {
  std::atomic<int> calls{0};
  TTestServer server([&](TIdPeerThread& t) {
    ++calls;
    try {
      t.Connection()->ReadByte();
    } catch (const std::exception&) {
    }
  });
  {
    TLoopbackClient client;
    ASSERT_TRUE(client.Connect(server.Port));
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (calls.load() == 0 && std::chrono::steady_clock::now() < deadline) SleepMs(5);
  EXPECT_TRUE(server.WaitIdle());
  SleepMs(50);
  EXPECT_EQ(1, calls.load());
  EXPECT_EQ(0u, server.Server.ThreadMgr().ManagedCount());
}

TEST(TcpServer, HandlerThatReturnsWithoutClosingStillClosesTheConnection) {
  struct : TShared {
    int Returned = 0;
  } s;
  TTestServer server([&](TIdPeerThread& t) {
    t.Connection()->WriteText("partial");
    s.Update([&] { ++s.Returned; });
  });
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  std::string got;
  EXPECT_TRUE(client.ReadToEnd(got, 5000)) << "the layer left the connection open";
  EXPECT_EQ("partial", got);
  EXPECT_TRUE(server.WaitIdle()) << "the peer thread did not end";
  EXPECT_EQ(1, s.Read([&] { return s.Returned; }));
}

TEST(TcpServer, TwoClientsAreServedOnTwoThreadsAtOnce) {
  struct : TShared {
    std::set<std::thread::id> Threads;
    int Inside = 0;
    bool BothInside = false;
  } s;
  TTestServer server([&](TIdPeerThread& t) {
    s.Update([&] {
      s.Threads.insert(std::this_thread::get_id());
      ++s.Inside;
    });
    // Each handler waits for the other: only concurrent threads get past.
    bool both = s.WaitFor([&] { return s.Inside >= 2; }, 5000);
    s.Update([&] { s.BothInside = both; });
    t.Connection()->WriteText(both ? "together" : "alone");
    t.Connection()->CloseConnection();
  });
  TLoopbackClient a, b;
  ASSERT_TRUE(a.Connect(server.Port));
  ASSERT_TRUE(b.Connect(server.Port));
  std::string gotA, gotB;
  EXPECT_TRUE(a.ReadToEnd(gotA, 8000));
  EXPECT_TRUE(b.ReadToEnd(gotB, 8000));
  EXPECT_EQ("together", gotA);
  EXPECT_EQ("together", gotB);
  EXPECT_EQ(2u, s.Read([&] { return s.Threads.size(); }));
  EXPECT_NE(std::this_thread::get_id(), *s.Read([&] { return s.Threads; }).begin());
}

TEST(TcpServer, DeactivationWithNoConnectionsTakesOnePoll) {
  TTestServer server([](TIdPeerThread&) {});
  server.Server.TerminateWaitTime = kPatienceMs;
  auto start = std::chrono::steady_clock::now();
  server.Server.SetActive(false);
  auto ms = ElapsedMs(start);
  EXPECT_FALSE(server.Server.Active());
  EXPECT_GE(ms, 240);
  EXPECT_LT(ms, server.Server.TerminateWaitTime) << "waited out the whole wait time with no peer to wait for";
}

TEST(TcpServer, DeactivationWakesAnIdleClientsReadInsteadOfWaitingForIt) {
  struct : TShared {
    bool Reading = false, Done = false;
    TCaught Error;
  } s;
  TTestServer server([&](TIdPeerThread& t) {
    s.Update([&] { s.Reading = true; });
    const TCaught error = CaughtFrom([&] { t.Connection()->ReadByte(); });
    s.Update([&] {
      s.Error = error;
      s.Done = true;
    });
  });
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  ASSERT_TRUE(s.WaitFor([&] { return s.Reading; }));
  SleepMs(50);
  // The client never sends: a deactivation that did not wake the read would
  // wait out the whole wait time and raise.
  server.Server.TerminateWaitTime = kPatienceMs;
  auto start = std::chrono::steady_clock::now();
  EXPECT_NO_THROW(server.Server.SetActive(false)) << "deactivation waited for the idle client";
  EXPECT_FALSE(server.Server.Active());
  EXPECT_GE(ElapsedMs(start), 240);
  EXPECT_TRUE(s.Read([&] { return s.Done; }));
  EXPECT_NE("", s.Read([&] { return s.Error.ClassName; }));
  EXPECT_EQ(0u, server.Server.PeerCount());
  std::string got;
  EXPECT_TRUE(client.ReadToEnd(got, kPatienceMs)) << "the client did not see the close";
}

TEST(TcpServer, PeerOutlastingTerminateWaitTimeRaisesAndLeavesTheServerActive) {
  struct : TShared {
    bool Reading = false, Release = false;
  } s;
  TTestServer server([&](TIdPeerThread& t) {
    s.Update([&] { s.Reading = true; });
    try {
      t.Connection()->ReadByte();
    } catch (const std::exception&) {
    }
    s.WaitFor([&] { return s.Release; });  // a slow handler after its socket closed
  });
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  ASSERT_TRUE(s.WaitFor([&] { return s.Reading; }));
  server.Server.TerminateWaitTime = 500;
  auto start = std::chrono::steady_clock::now();
  try {
    server.Server.SetActive(false);
    ADD_FAILURE() << "no time-out";
  } catch (const EIdTerminateThreadTimeout& e) {
    EXPECT_STREQ("Terminate Thread Timeout", e.what());
  }
  EXPECT_GE(ElapsedMs(start), 480);
  EXPECT_TRUE(server.Server.Active());
  // Below one poll no check is made at all.
  server.Server.TerminateWaitTime = 100;
  EXPECT_THROW(server.Server.SetActive(false), EIdTerminateThreadTimeout);
  EXPECT_TRUE(server.Server.Active());
  // The peer ends once its handler returns; then deactivation completes.
  s.Update([&] { s.Release = true; });
  EXPECT_TRUE(server.WaitIdle());
  server.Server.TerminateWaitTime = kPatienceMs;
  server.Server.SetActive(false);
  EXPECT_FALSE(server.Server.Active());
}

TEST(TcpServer, ExceptionInOnConnectEndsThePeerAndClosesItsConnection) {
  TTestServer server([](TIdPeerThread& t) {
    t.Connection()->WriteText("x");
    throw EIdException("handler failed");
  });
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  std::string got;
  EXPECT_TRUE(client.ReadToEnd(got, 5000));
  EXPECT_EQ("x", got);
  EXPECT_TRUE(server.WaitIdle());
  EXPECT_EQ(0u, server.Server.ThreadMgr().ManagedCount());
}

#ifndef _WIN32
TEST(TcpServer, ListenerWithoutDescriptorsPausesAndAcceptsOnceOneIsFree) {
  struct : TShared {
    bool Served = false;
  } s;
  TTestServer server([&](TIdPeerThread& t) {
    t.Connection()->WriteText("served");
    t.Connection()->CloseConnection();
    s.Update([&] { s.Served = true; });
  });
  TLoopbackClient client;
  {
    TDescriptorLimit limit(1);  // the client's socket takes it: accept fails with EMFILE
    ASSERT_TRUE(client.Connect(server.Port));
    const auto start = std::chrono::steady_clock::now();
    const double cpuBefore = ProcessCpuSeconds();
    SleepMs(1000);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const double wall = static_cast<double>(ElapsedMs(start)) / 1000;
    EXPECT_LT(cpu * 10, wall) << "the listener kept a core busy while out of descriptors: " << cpu << " s CPU in "
                              << wall << " s";
    EXPECT_FALSE(s.Read([&] { return s.Served; }));
  }
  // The connection waited in the queue and is served once a descriptor is free.
  std::string got;
  EXPECT_TRUE(client.ReadToEnd(got, 5000));
  EXPECT_EQ("served", got);
}
#endif

TEST(TcpServer, PeerAddressIsTheClientsLoopbackAddress) {
  struct : TShared {
    std::string Address;
    int Port = -1;
  } s;
  TTestServer server([&](TIdPeerThread& t) {
    auto& e = t.Connection()->SocketHandler()->Endpoint();
    std::string address = e.RemoteAddress();
    int port = e.RemotePort();
    s.Update([&] {
      s.Address = address;
      s.Port = port;
    });
    t.Connection()->CloseConnection();
  });
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port));
  ASSERT_TRUE(s.WaitFor([&] { return s.Port >= 0; }));
  EXPECT_EQ("127.0.0.1", s.Read([&] { return s.Address; }));
  EXPECT_GT(s.Read([&] { return s.Port; }), 0);
}

// A visitor (a connection from another address than the one it reached) past
// its share of open connections is closed at the accept, before it has a
// thread; other visitors and the host's own connections are not held back,
// and a place comes free with the connection that held it. Likewise past the total for all visitors.
TEST(TcpServer, AVisitorsConnectionsPastItsShareAreClosedAtTheAccept) {
  struct : TShared {
    int Calls = 0;
  } s;
  TTestServer server(
      [&](TIdPeerThread& t) {
        s.Update([&] { ++s.Calls; });
        try {
          t.Connection()->ReadByte();  // held until the client sends or leaves
        } catch (const std::exception&) {
        }
      },
      2, 5);
  auto served = [&](int calls) { return s.WaitFor([&] { return s.Calls == calls; }); };
  TLoopbackClient first, second, third, other, host1, host2, host3, fourth, fifth, past, host4, again;
  ASSERT_TRUE(first.Connect(server.Port, 0, "127.0.0.2"));
  ASSERT_TRUE(second.Connect(server.Port, 0, "127.0.0.2"));
  ASSERT_TRUE(served(2));
  ASSERT_TRUE(third.Connect(server.Port, 0, "127.0.0.2"));
  std::string got;
  EXPECT_TRUE(third.ReadToEnd(got, 5000)) << "a third connection of 127.0.0.2 was kept";
  ASSERT_TRUE(other.Connect(server.Port, 0, "127.0.0.3"));
  ASSERT_TRUE(host1.Connect(server.Port));
  ASSERT_TRUE(host2.Connect(server.Port));
  ASSERT_TRUE(host3.Connect(server.Port));
  ASSERT_TRUE(served(6));
  EXPECT_EQ(2, server.Server.VisitorConnections().HeldBy(Loopback(2)));
  // Two more visitors make the total: one past it is closed, whatever its address.
  ASSERT_TRUE(fourth.Connect(server.Port, 0, "127.0.0.4"));
  ASSERT_TRUE(fifth.Connect(server.Port, 0, "127.0.0.5"));
  ASSERT_TRUE(served(8));
  ASSERT_TRUE(past.Connect(server.Port, 0, "127.0.0.6"));
  EXPECT_TRUE(past.ReadToEnd(got, 5000)) << "a visitor past the total was kept";
  ASSERT_TRUE(host4.Connect(server.Port));
  ASSERT_TRUE(served(9));
  EXPECT_EQ(5, server.Server.VisitorConnections().Held());
  first.Close();
  for (int waited = 0; waited < kPatienceMs && server.Server.VisitorConnections().HeldBy(Loopback(2)) > 1; waited += 5)
    SleepMs(5);
  ASSERT_TRUE(again.Connect(server.Port, 0, "127.0.0.2"));
  EXPECT_TRUE(served(10)) << "the place of a connection that ended did not come free";
}

}  // namespace
