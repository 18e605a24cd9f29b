// tcp_connection.cpp - TIdTCPConnection: the queue, error and close semantics.
#include "net/tcp_connection.h"

#include <algorithm>
#include <cstring>

#include "net/exceptions.h"
#include "net/file_reader.h"

namespace {
constexpr std::size_t kCompactAfter = 32768;
constexpr int kWaitForever = -2;
// A write that waits for room asks the socket again at least this often.
constexpr long long kWriteSliceMs = 1000;
}  // namespace

void TIdInputQueue::Take(void* out, std::size_t n) {
  if (n > Size()) throw EIdNotEnoughDataInBuffer();
  std::memcpy(out, FData.data() + FOffset, n);
  FOffset += n;
  if (FOffset == FData.size()) {
    Clear();
  } else if (FOffset >= kCompactAfter) {
    FData.erase(0, FOffset);
    FOffset = 0;
  }
}

TIdTCPConnection::TIdTCPConnection() = default;

TIdTCPConnection::~TIdTCPConnection() {
  CloseSocketHere();
  DestroyHandler();
}

void TIdTCPConnection::CloseSocketHere(bool reset) {
  // On the connection's own thread nobody else is inside a call on the socket,
  // so it is shut down and closed at once, in one step.
  std::lock_guard<std::mutex> lock(FHandlerLock);
  if (FIOHandler == nullptr) return;
  FPeerClosed = true;
  if (reset) FIOHandler->Endpoint().AbortSocket();
  else FIOHandler->Endpoint().ReleaseSocket();
}

void TIdTCPConnection::AttachIOHandler(std::unique_ptr<TIdIOHandlerSocket> handler, bool owns) {
  std::lock_guard<std::mutex> lock(FHandlerLock);
  FIOHandler = std::move(handler);
  FOwnsHandler = owns;
}

void TIdTCPConnection::DestroyHandler() {
  std::lock_guard<std::mutex> lock(FHandlerLock);
  if (!FOwnsHandler) (void)FIOHandler.release();  // the owner elsewhere destroys it
  FIOHandler.reset();
  FOwnsHandler = false;
}

std::uint8_t TIdTCPConnection::ReadByte() {
  std::uint8_t b;
  ReadExact(&b, 1);
  return b;
}

void TIdTCPConnection::ReadExact(void* buffer, int n) {
  if (n <= 0 || buffer == nullptr) return;
  while (FInputQueue.Size() < static_cast<std::size_t>(n)) {
    FillInputQueue(true, -1, true);
    CheckClosed(true, true);
  }
  FInputQueue.Take(buffer, static_cast<std::size_t>(n));
}

bool TIdTCPConnection::IsConnected() {
  CheckClosed(false, false);
  return FIOHandler != nullptr && FIOHandler->Connected();
}

void TIdTCPConnection::CheckClosed(bool raiseIfClosed, bool ignoreQueue) {
  bool closed = false;
  if (FPeerClosed || FIOHandler == nullptr) {
    if (FIOHandler != nullptr) {
      closed = true;
      if (FIOHandler->Connected()) {
        FIOHandler->Close();
        if (OnDisconnected) OnDisconnected();
      }
    }
  } else {
    closed = !FIOHandler->Connected();
  }
  if (closed && raiseIfClosed && (FInputQueue.Size() == 0 || ignoreQueue)) throw EIdConnClosedGracefully();
}

int TIdTCPConnection::FillInputQueue(bool raiseIfClosed, int timeoutMs, bool raiseOnTimeout) {
  if (timeoutMs == -1) timeoutMs = ReadTimeout == 0 ? kWaitForever : ReadTimeout;
  CheckClosed(raiseIfClosed, false);
  if (!IsConnected()) {
    if (raiseIfClosed) throw EIdNotConnected();
    return 0;
  }
  if (!FRecvBuffer) FRecvBuffer.reset(new char[static_cast<std::size_t>(RecvBufferSize)]);
  int count;
  do {
    // Waiting without limit is the blocking receive itself: one call, not two.
    if (timeoutMs != kWaitForever && FIOHandler->Readable(timeoutMs) != 1) {
      if (raiseOnTimeout) throw EIdReadTimeout();
      return -1;
    }
    if (timeoutMs == kWaitForever && !FIOHandler->Connected()) throw EIdConnClosedGracefully();
    count = FIOHandler->Recv(FRecvBuffer.get(), RecvBufferSize);
    FPeerClosed = count == 0;
    if (count < 0) {
      int code = TIdStack::LastError();
      if (code != IdErr::Shutdown && code != IdErr::ConnAborted) throw EIdSocketError(code);
      DropSocket();
      if (FInputQueue.Size() == 0) throw EIdSocketError(code);
      count = 0;
    } else if (count > 0) {
      FInputQueue.Append(FRecvBuffer.get(), static_cast<std::size_t>(count));
    }
    CheckClosed(raiseIfClosed, false);
  } while (count == 0 && IsConnected());
  return count;
}

void TIdTCPConnection::WriteText(const std::string& text, bool moreFollows) {
  WriteBytes(text.data(), static_cast<int>(text.size()), moreFollows);
}

void TIdTCPConnection::WriteBytes(const void* buffer, int n, bool moreFollows) {
  if (n <= 0 || buffer == nullptr) return;
  CheckClosed(true, true);
  if (!IsConnected()) throw EIdNotConnected();
  const char* p = static_cast<const char*>(buffer);
  while (n > 0) {
    int sent = WriteTimeout > 0 ? SendWithin(p, n, moreFollows) : FIOHandler->Send(p, n, moreFollows);
    FPeerClosed = sent == 0;
    CheckClosed(true, false);
    if (sent < 0) {
      int code = TIdStack::LastError();
      if (code == IdErr::Shutdown || code == IdErr::ConnAborted || code == IdErr::ConnReset) DropSocket();
      throw EIdSocketError(code);
    }
    p += sent;
    n -= sent;
  }
}

// Sends what the socket takes of the n bytes, waiting while it takes none. A
// client that takes no byte for WriteTimeout would hold the reply, its thread
// and any interpreter behind it for ever: the connection is reset, so that what
// is still queued does not linger in the system either. The socket is asked
// again after each slice, not only once it shows room: it shows room only
// when much of what it holds has gone, and a client that takes a little at a
// time is still taking.
int TIdTCPConnection::SendWithin(const char* bytes, int n, bool moreFollows) {
  const auto limit = std::chrono::milliseconds(WriteTimeout);
  const auto slice = std::clamp<long long>(WriteTimeout / 10, 1, kWriteSliceMs);
  const auto since = std::chrono::steady_clock::now();
  for (;;) {
    const int sent = FIOHandler->SendNow(bytes, n, moreFollows);
    if (sent >= 0 || TIdStack::LastError() != IdErr::WouldBlock) return sent;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(limit - (std::chrono::steady_clock::now() - since));
    if (left.count() <= 0) {
      TIdStack::DiscardUnsent(FIOHandler->Endpoint().Handle());
      DropSocket();
      throw EIdSocketError(IdErr::TimedOut);
    }
    TIdStack::WaitWritable(FIOHandler->Endpoint().Handle(), static_cast<int>(std::min<long long>(left.count(), slice)));
  }
}

std::int64_t TIdTCPConnection::WriteFileContents(const std::string& path, bool /*transmit*/) {
  // The platform's file-transmission call is never used: the chunks go through
  // one reused buffer, so memory stays flat whatever the file's size.
  TIdFileReader file(path);
  return WriteFileContents(file);
}

std::int64_t TIdTCPConnection::WriteFileContents(TIdFileReader& file, bool closeFollows) {
  const std::int64_t size = file.Size();
  if (!FSendBuffer) FSendBuffer.reset(new char[static_cast<std::size_t>(SendBufferSize)]);
  for (std::int64_t left = size; left > 0;) {
    int chunk = static_cast<int>(std::min<std::int64_t>(left, SendBufferSize));
    int got = file.Read(FSendBuffer.get(), chunk);
    if (got <= 0) throw EIdNoDataToRead();
    left -= got;
    WriteBytes(FSendBuffer.get(), got, closeFollows && left <= 0);
  }
  return size;
}

TIdWoken TIdTCPConnection::WaitWith(TIdWatch watch, const TIdWaitList& others, int timeoutMs) {
  if (!IsConnected()) return TIdWoken::ClientGone;
  return TIdStack::WaitWith(FIOHandler->Endpoint().Handle(), watch, others, timeoutMs);
}

void TIdTCPConnection::Push() {
  if (IsConnected()) TIdStack::Push(FIOHandler->Endpoint().Handle());
}

void TIdTCPConnection::DropSocket() {
  std::lock_guard<std::mutex> lock(FHandlerLock);
  if (FIOHandler == nullptr) return;
  FPeerClosed = true;
  FIOHandler->Close();
}

void TIdTCPConnection::CloseConnection() { EndConnection(false); }

void TIdTCPConnection::AbortConnection() { EndConnection(true); }

void TIdTCPConnection::EndConnection(bool reset) {
  CloseSocketHere(reset);
  if (FOwnsHandler) DestroyHandler();
  if (OnDisconnected) OnDisconnected();
}

std::int64_t FileSizeByPath(const std::string& path) { return TIdFileReader::SizeByPath(path); }

std::string FirstLocalAddress() {
  TIdComponent stack;  // the lookup needs the socket layer up
  return IPToText(TIdStack::HostAddresses().front());
}
