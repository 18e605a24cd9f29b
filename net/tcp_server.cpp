// tcp_server.cpp - TIdTCPServer's activation, accept cycle, peer threads and deactivation.
#include "net/tcp_server.h"

#include <chrono>
#include <thread>

#include "net/exceptions.h"

namespace {
constexpr int kAcceptSliceMs = 100;  // a stopping listener is noticed within this
constexpr int kStopPollMs = 250;
// With no descriptor (or socket buffer) left, the connection stays queued and
// accept fails again at once: the listener pauses instead of turning a core
// until a connection ends.
constexpr int kOutOfResourcesPauseMs = 100;

bool OutOfResources(const std::exception& e) {
  const auto* socketError = dynamic_cast<const EIdSocketError*>(&e);
  return socketError != nullptr &&
         (socketError->LastError() == IdErr::TooManyFiles || socketError->LastError() == IdErr::NoBufferSpace);
}
}  // namespace

// ---- Bindings --------------------------------------------------------------

TIdSocketHandle& TIdSocketHandles::Add() {
  FItems.push_back(std::make_unique<TIdSocketHandle>(DefaultPort));
  return *FItems.back();
}

void TIdSocketHandles::Clear() { FItems.clear(); }

// ---- Accepting -------------------------------------------------------------

std::unique_ptr<TIdIOHandlerSocket> TIdServerIOHandlerSocket::AcceptConnection(socket_t listening,
                                                                               TIdListenerThread& listener) {
  auto transport = std::make_unique<TIdIOHandlerSocket>();
  // Under load a connection is already queued: accept first, wait only when idle.
  bool readable = TIdStack::AcceptsWithoutWaiting();
  for (;;) {
    if (listener.Stopped()) return nullptr;
    if (readable) {
      switch (transport->Endpoint().Accept(listening)) {
        case TIdSocketHandle::TAcceptResult::Accepted: return transport;
        case TIdSocketHandle::TAcceptResult::Closed: return nullptr;
        case TIdSocketHandle::TAcceptResult::NoneWaiting: break;
      }
    }
    readable = TIdStack::WaitReadable(listening, kAcceptSliceMs) == 1;
  }
}

void TIdListenerThread::RunOnce() {
  auto connection = std::make_unique<TIdTCPServerConnection>(FServer);
  TIdPeerThread* peer = nullptr;
  try {
    auto transport = FServer->IOHandler().AcceptConnection(FBinding->Handle(), *this);
    if (!transport) {
      Stop();
      return;
    }
    if (!FServer->SeatVisitor(*transport)) return;  // closed with its transport, unanswered
    connection->MarkAccepted();
    peer = static_cast<TIdPeerThread*>(FServer->ThreadMgr().AcquireThread());
    connection->AttachIOHandler(std::move(transport), true);
    peer->SetConnection(std::move(connection));
    FServer->AddPeer(peer);
    peer->Start();
  } catch (const std::exception& e) {
    if (peer != nullptr) {
      FServer->RemovePeer(peer);
      FServer->ThreadMgr().ReturnThread(peer);  // never started: destroyed here
    }
    if (FServer->OnListenException) FServer->OnListenException(*this, e);
    if (OutOfResources(e)) std::this_thread::sleep_for(std::chrono::milliseconds(kOutOfResourcesPauseMs));
  }
}

void TIdListenerThread::FinishRun() { FBinding->CloseSocket(); }

// ---- Peer threads ----------------------------------------------------------

void TIdPeerThread::PrepareRun() {
  if (!FConnection || FConnection->SocketHandler() == nullptr) {
    FreeOnTerminate();
    throw EIdNotConnected();
  }
  FServer->NotifyConnect(*this);
  if (!FConnection->IsConnected()) Stop();
}

void TIdPeerThread::RunOnce() {
  try {
    if (!FServer->DispatchExecute(*this)) throw EIdNoExecuteSpecified();
  } catch (const EIdSocketError& e) {
    if (FServer->OnException) FServer->OnException(*this, e);
    if (e.LastError() == IdErr::ConnAborted || e.LastError() == IdErr::ConnReset) FConnection->CloseConnection();
  } catch (const EIdClosedSocket& e) {
    if (FServer->OnException) FServer->OnException(*this, e);
  } catch (const EIdConnClosedGracefully& e) {
    if (FServer->OnException) FServer->OnException(*this, e);
  } catch (const std::exception& e) {
    if (FServer->OnException) FServer->OnException(*this, e);
    throw;
  }
  if (!FConnection->IsConnected()) Stop();
}

void TIdPeerThread::FinishRun() { FServer->NotifyDisconnect(*this); }

void TIdPeerThread::ReleaseResources() {
  // The thread goes back to the manager before it leaves PeerThreads: a stopping
  // server that finds PeerThreads empty may destroy the manager at once.
  TIdTCPServer* server = FServer;
  server->ThreadMgr().ReturnThread(this);
  server->RemovePeer(this);
  FConnection.reset();  // closes the socket if the handler left it open
}

// ---- The server ------------------------------------------------------------

TIdTCPServer::TIdTCPServer() = default;

TIdTCPServer::~TIdTCPServer() {
  try {
    SetActive(false);
  } catch (...) {
  }
  // Peer threads use this object until they end; their sockets are closed.
  while (PeerCount() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(kStopPollMs));
  StopListeners();
  FBindings.Clear();
}

void TIdTCPServer::SetActive(bool value) {
  if (value == FActive) return;
  if (value) Activate();
  else Deactivate();
}

TIdThreadMgr& TIdTCPServer::ThreadMgr() {
  if (!FThreadMgr) FThreadMgr = std::make_unique<TIdThreadMgrDefault>();
  return *FThreadMgr;
}

std::size_t TIdTCPServer::PeerCount() {
  std::lock_guard<std::mutex> lock(FPeersLock);
  return FPeerThreads.size();
}

void TIdTCPServer::AddPeer(TIdPeerThread* peer) {
  std::lock_guard<std::mutex> lock(FPeersLock);
  FPeerThreads.insert(peer);
}

void TIdTCPServer::RemovePeer(TIdPeerThread* peer) {
  std::lock_guard<std::mutex> lock(FPeersLock);
  FPeerThreads.erase(peer);
}

void TIdTCPServer::NotifyConnect(TIdPeerThread& peer) {
  if (OnConnect) OnConnect(peer);
}

bool TIdTCPServer::DispatchExecute(TIdPeerThread& peer) {
  if (!OnExecute) return false;
  OnExecute(peer);
  return true;
}

void TIdTCPServer::NotifyDisconnect(TIdPeerThread& peer) {
  if (OnDisconnect) OnDisconnect(peer);
}

bool TIdTCPServer::SeatVisitor(TIdIOHandlerSocket& transport) {
  const TIdSocketHandle& endpoint = transport.Endpoint();
  if (!endpoint.FromVisitor()) return true;  // the host's own are never held back
  TVisitorPlace place = FVisitorConnections.Take(endpoint.RemoteIP());
  if (!place) return false;
  transport.HoldPlace(std::move(place));
  return true;
}

void TIdTCPServer::Activate() {
  if (FBindings.Count() == 0) FBindings.Add();
  FVisitorConnections.SetLimits(MaxConnectionsPerVisitor, MaxVisitorConnections);
  TIdThreadMgr& mgr = ThreadMgr();
  mgr.ThreadStackSize = PeerThreadStackSize;
  mgr.ThreadClassFactory = [this](std::size_t stack) { return new TIdPeerThread(this, stack); };
  if (!FIOHandler) FIOHandler = std::make_unique<TIdServerIOHandlerSocket>();
  FIOHandler->Init();
  bool reuse = ReuseSocket == TIdReuseSocket::True ||
               (ReuseSocket == TIdReuseSocket::OSDependent && TIdStack::ReuseAddressByDefault());
  for (std::size_t i = 0; i < FBindings.Count(); ++i) {
    TIdSocketHandle& binding = FBindings[i];
    binding.AllocateSocket();
    if (reuse) binding.SetReuseAddress();
    binding.Bind();
    binding.Listen(ListenQueue);
    auto listener = std::make_unique<TIdListenerThread>(this, &binding);
    TIdListenerThread* started = listener.get();
    {
      std::lock_guard<std::mutex> lock(FListenersLock);
      FListeners.push_back(std::move(listener));
    }
    started->Start();
  }
  FActive = true;
}

void TIdTCPServer::StopListeners() {
  std::vector<std::unique_ptr<TIdListenerThread>> listeners;
  {
    std::lock_guard<std::mutex> lock(FListenersLock);
    listeners.swap(FListeners);
  }
  for (auto& listener : listeners) {
    listener->Terminate();
    listener->Binding().CloseSocket();
    listener->TerminateAndWait();
    listener->Binding().ReleaseSocket();
  }
}

void TIdTCPServer::StopPeers() {
  {
    std::lock_guard<std::mutex> lock(FPeersLock);
    for (TIdPeerThread* peer : FPeerThreads) peer->Connection()->DropSocket();
  }
  for (int i = 0; i < TerminateWaitTime / kStopPollMs; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kStopPollMs));
    if (PeerCount() == 0) return;
  }
  if (PeerCount() > 0) throw EIdTerminateThreadTimeout();
}

void TIdTCPServer::Deactivate() {
  StopListeners();
  try {
    StopPeers();
  } catch (...) {
    if (PeerCount() == 0) FThreadMgr.reset();
    throw;
  }
  if (PeerCount() == 0) FThreadMgr.reset();
  FActive = false;
}
