// tcp_connection.h - TIdTCPConnection: reads, writes and close of one connection.
//
// Used by its own thread only, except DropSocket(), which a stopping server calls
// from another thread to wake that thread's blocked read or write.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "net/component.h"
#include "net/io_handler_socket.h"
#include "net/stack.h"

class TIdFileReader;
class TIdTCPServer;

// Received bytes not yet read: reads advance an offset; the unread tail is moved
// to the front only after 32768 consumed bytes.
class TIdInputQueue {
 public:
  std::size_t Size() const { return FData.size() - FOffset; }
  void Append(const char* bytes, std::size_t n) { FData.append(bytes, n); }
  void Take(void* out, std::size_t n);  // raises EIdNotEnoughDataInBuffer
  void Clear() { FData.clear(); FOffset = 0; }

 private:
  std::string FData;
  std::size_t FOffset = 0;
};

class TIdTCPConnection : public TIdComponent {
 public:
  TIdTCPConnection();
  ~TIdTCPConnection() override;

  // Hands over the transport; with owns set it is destroyed on close.
  void AttachIOHandler(std::unique_ptr<TIdIOHandlerSocket> handler, bool owns = true);
  TIdIOHandlerSocket* SocketHandler() const { return FIOHandler.get(); }

  std::uint8_t ReadByte();
  void ReadExact(void* buffer, int n);
  // moreFollows: another write comes at once (a reply head before its body).
  void WriteText(const std::string& text, bool moreFollows = false);
  void WriteBytes(const void* buffer, int n, bool moreFollows = false);
  // Sends the whole file in SendBufferSize chunks; returns its size.
  std::int64_t WriteFileContents(const std::string& path, bool transmit = false);
  // closeFollows: the connection is closed right after, so the last piece may
  // wait for the close and leave in one segment with the connection's end.
  std::int64_t WriteFileContents(TIdFileReader& file, bool closeFollows = false);

  bool IsConnected();
  void CloseConnection();
  // Closes with a reset instead of an orderly end, so that the client sees
  // the reply fail rather than end; what is still unsent is dropped.
  void AbortConnection();
  void DropSocket();  // any thread

  // For a relay that waits on the client and on other handles (a child's
  // pipes) at once: sleeps until the socket shows what watch asks, one of
  // others is ready, or timeoutMs passes. ClientGone when the client has
  // left (with HangUp watched: closed its end, which a half-closed client
  // counts as) or the connection is no longer open.
  TIdWoken WaitWith(TIdWatch watch, const TIdWaitList& others, int timeoutMs);
  // Sends at once what writes marked "more follows" held back.
  void Push();

  // Returns bytes received, 0 on a close, -1 on a time-out.
  int FillInputQueue(bool raiseIfClosed, int timeoutMs, bool raiseOnTimeout);
  void CheckClosed(bool raiseIfClosed, bool ignoreQueue);
  TIdInputQueue& InputQueue() { return FInputQueue; }

  int ReadTimeout = 0;  // ms; 0 waits without limit
  // How long a write may find the client taking no byte (ms); then the
  // connection is reset and the write raises EIdSocketError 10060. 0 waits
  // without limit.
  int WriteTimeout = 0;
  int RecvBufferSize = 32768;
  int SendBufferSize = 32768;
  std::function<void()> OnDisconnected;

 private:
  void DestroyHandler();
  // reset: with a reset instead of an orderly end (AbortConnection).
  void CloseSocketHere(bool reset = false);
  void EndConnection(bool reset);
  int SendWithin(const char* bytes, int n, bool moreFollows);

  std::mutex FHandlerLock;  // guards FIOHandler's teardown against DropSocket
  std::unique_ptr<TIdIOHandlerSocket> FIOHandler;
  bool FOwnsHandler = false;
  std::atomic<bool> FPeerClosed{false};  // set by DropSocket from any thread
  TIdInputQueue FInputQueue;
  std::unique_ptr<char[]> FRecvBuffer;  // made at the first receive
  std::unique_ptr<char[]> FSendBuffer;  // made at the first file sent
};

// The server side's connection: a link back to its server, and when it was
// accepted (set by the listener before the connection's thread starts).
class TIdTCPServerConnection : public TIdTCPConnection {
 public:
  explicit TIdTCPServerConnection(TIdTCPServer* server) : FServer(server) {}
  TIdTCPServer* Server() const { return FServer; }
  std::chrono::steady_clock::time_point AcceptedAt() const { return FAcceptedAt; }
  void MarkAccepted() { FAcceptedAt = std::chrono::steady_clock::now(); }

 private:
  TIdTCPServer* FServer;
  std::chrono::steady_clock::time_point FAcceptedAt = std::chrono::steady_clock::now();
};

// Utility operations of the layer.
std::int64_t FileSizeByPath(const std::string& path);
std::string FirstLocalAddress();  // raises EIdSocketError when the lookup fails
