// tcp_server.h - TIdTCPServer: one listening socket per binding, one listener
// thread per binding, one new peer thread per accepted connection.
//
// Active, Bindings and DefaultPort belong to the thread that owns the server (the
// main thread). The events run on peer threads, any number at a time.
// PeerThreads and Listeners are each guarded by their own lock.
#pragma once
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "net/component.h"
#include "net/io_handler_socket.h"
#include "net/socket_handle.h"
#include "net/tcp_connection.h"
#include "net/thread.h"
#include "net/thread_mgr.h"
#include "net/visitor_places.h"

class TIdTCPServer;
class TIdListenerThread;

class TIdSocketHandles {
 public:
  int DefaultPort = 0;
  TIdSocketHandle& Add();  // takes DefaultPort as its Port
  void Clear();            // destroys every binding, closing its socket
  std::size_t Count() const { return FItems.size(); }
  TIdSocketHandle& operator[](std::size_t i) { return *FItems[i]; }

 private:
  std::vector<std::unique_ptr<TIdSocketHandle>> FItems;
};

class TIdPeerThread : public TIdThread {
 public:
  TIdPeerThread(TIdTCPServer* server, std::size_t stackSize) : TIdThread(stackSize), FServer(server) {}
  ~TIdPeerThread() override { WaitForEnd(); }
  TIdTCPServerConnection* Connection() const { return FConnection.get(); }
  void SetConnection(std::unique_ptr<TIdTCPServerConnection> c) { FConnection = std::move(c); }

 protected:
  void PrepareRun() override;
  void RunOnce() override;
  void FinishRun() override;
  void ReleaseResources() override;

 private:
  TIdTCPServer* FServer;
  std::unique_ptr<TIdTCPServerConnection> FConnection;
};

class TIdListenerThread : public TIdThread {
 public:
  TIdListenerThread(TIdTCPServer* server, TIdSocketHandle* binding) : FServer(server), FBinding(binding) {}
  ~TIdListenerThread() override { WaitForEnd(); }
  TIdSocketHandle& Binding() const { return *FBinding; }

 protected:
  void RunOnce() override;  // one accept cycle
  void FinishRun() override;

 private:
  TIdTCPServer* FServer;
  TIdSocketHandle* FBinding;
};

class TIdServerIOHandlerSocket : public TIdComponent {
 public:
  void Init() {}
  // Waits in 100 ms slices until a connection arrives or the listener stops;
  // nullptr when stopped or when the listening socket was closed.
  std::unique_ptr<TIdIOHandlerSocket> AcceptConnection(socket_t listening, TIdListenerThread& listener);
};

enum class TIdReuseSocket { OSDependent, True, False };

class TIdTCPServer : public TIdComponent {
 public:
  using TPeerEvent = std::function<void(TIdPeerThread&)>;
  using TPeerExceptionEvent = std::function<void(TIdPeerThread&, const std::exception&)>;
  using TListenExceptionEvent = std::function<void(TIdListenerThread&, const std::exception&)>;

  TIdTCPServer();
  ~TIdTCPServer() override;

  bool Active() const { return FActive; }
  void SetActive(bool value);  // raises; see the exceptions of activation and deactivation
  TIdSocketHandles& Bindings() { return FBindings; }
  int DefaultPort() const { return FBindings.DefaultPort; }
  void SetDefaultPort(int port) { FBindings.DefaultPort = port; }

  int ListenQueue = 15;
  int TerminateWaitTime = 5000;  // ms
  TIdReuseSocket ReuseSocket = TIdReuseSocket::OSDependent;
  // Each connection's thread is small: it runs one request handler.
  std::size_t PeerThreadStackSize = 128 * 1024;
  // Open connections one visitor (a connection from another address than the
  // one it reached) may hold, and all visitors together; one more is closed
  // at its accept, before it costs a thread. 0: no limit. Read at activation.
  int MaxConnectionsPerVisitor = 0;
  int MaxVisitorConnections = 0;

  TPeerEvent OnConnect, OnExecute, OnDisconnect;
  TPeerExceptionEvent OnException;
  TListenExceptionEvent OnListenException;

  std::size_t PeerCount();
  // The visitors' connections, counted per address.
  const TVisitorPlaces& VisitorConnections() const { return FVisitorConnections; }

  // Used by the listener and peer threads.
  TIdThreadMgr& ThreadMgr();
  TIdServerIOHandlerSocket& IOHandler() { return *FIOHandler; }
  void AddPeer(TIdPeerThread* peer);
  void RemovePeer(TIdPeerThread* peer);
  void NotifyConnect(TIdPeerThread& peer);
  bool DispatchExecute(TIdPeerThread& peer);
  void NotifyDisconnect(TIdPeerThread& peer);
  // Gives a visitor's accepted transport its place; false when its address
  // holds its share of connections already, or the visitors all they may.
  bool SeatVisitor(TIdIOHandlerSocket& transport);

 private:
  void Activate();
  void Deactivate();
  void StopListeners();
  void StopPeers();

  bool FActive = false;
  TIdSocketHandles FBindings;
  std::unique_ptr<TIdThreadMgr> FThreadMgr;
  std::unique_ptr<TIdServerIOHandlerSocket> FIOHandler;
  std::mutex FListenersLock;
  std::vector<std::unique_ptr<TIdListenerThread>> FListeners;  // guarded by FListenersLock
  std::mutex FPeersLock;
  std::unordered_set<TIdPeerThread*> FPeerThreads;  // guarded by FPeersLock
  TVisitorPlaces FVisitorConnections;
};
