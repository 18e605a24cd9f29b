// server_harness.h - what the socket tests share: a TIdTCPServer on a port the
// system picks, and a place where server threads leave what they saw for the
// test's thread to wait on.
#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "net/exceptions.h"
#include "net/stack.h"
#include "net/tcp_server.h"

// How long a test waits for what must happen. Only a failing test waits this
// long, so it is far beyond what a loaded machine or a sanitizer build needs.
inline constexpr int kPatienceMs = 60000;

// Guards the fields of a derived struct; server threads change them through
// Update, the test's thread waits with WaitFor (never without a limit).
class TShared {
 public:
  template <typename F>
  void Update(F change) {
    // Notified under the lock: a waiter that then destroys this object cannot
    // do so while the notifier still uses it.
    std::lock_guard<std::mutex> lock(FMutex);
    change();
    FChanged.notify_all();
  }
  template <typename P>
  bool WaitFor(P ready, int timeoutMs = kPatienceMs) {
    std::unique_lock<std::mutex> lock(FMutex);
    return FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
  }
  template <typename F>
  auto Read(F get) {
    std::lock_guard<std::mutex> lock(FMutex);
    return get();
  }

 private:
  std::mutex FMutex;
  std::condition_variable FChanged;
};

// The class name and message of what a handler caught, "" when nothing.
struct TCaught {
  std::string ClassName;
  std::string Message;
  int LastError = 0;
};

inline TCaught Describe(const std::exception& e) {
  TCaught c;
  c.Message = e.what();
  if (auto* id = dynamic_cast<const EIdException*>(&e)) c.ClassName = id->ClassName();
  if (auto* s = dynamic_cast<const EIdSocketError*>(&e)) c.LastError = s->LastError();
  return c;
}

// Runs step and describes what it raised; an empty TCaught when nothing.
template <typename Step>
TCaught CaughtFrom(Step&& step) {
  try {
    step();
  } catch (const std::exception& e) {
    return Describe(e);
  }
  return {};
}

// A server listening on 0.0.0.0 at a free port, with the handler as OnConnect.
class TTestServer {
 public:
  explicit TTestServer(TIdTCPServer::TPeerEvent onConnect, int maxConnectionsPerVisitor = 0,
                       int maxVisitorConnections = 0) {
    Server.MaxConnectionsPerVisitor = maxConnectionsPerVisitor;
    Server.MaxVisitorConnections = maxVisitorConnections;
    Server.ListenQueue = 128;  // as the web server's: a burst of connections is not held up a second
    Server.SetDefaultPort(0);
    Server.OnConnect = std::move(onConnect);
    Server.SetActive(true);
    TIdAddress local;
    if (TIdStack::LocalName(Server.Bindings()[0].Handle(), local) == 0) Port = local.Port;
  }
  ~TTestServer() {
    try {
      Server.SetActive(false);
    } catch (...) {
    }
  }

  // Waits until every peer thread has ended.
  bool WaitIdle(int timeoutMs = kPatienceMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Server.PeerCount() > 0) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  TIdTCPServer Server;
  int Port = 0;
};

inline void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

inline long long ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}
