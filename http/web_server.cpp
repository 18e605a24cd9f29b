// web_server.cpp - TWebServer: start with port freeing, stop, and the dispatch
// of each request to a close, a redirect, a file or the PHP gateway.
#include "http/web_server.h"

#include <system_error>

#include "base/constants.h"
#include "base/native_fs.h"
#include "base/program_env.h"
#include "base/text.h"
#include "config/host_network.h"
#include "http/interpreter_path.h"
#include "http/ostrel.h"
#include "http/php_temp.h"
#include "net/local_ip.h"
#include "net/mime_table.h"
#include "net/tcp_server.h"
#include "sys/port_owner.h"

namespace {
constexpr int kBindAttempts = 3;
// Browsers open several connections at once and every request is a connection
// of its own: a queue of 15 overflows in a burst, and the client then waits a
// whole SYN retransmission (a second or more) for its page. Visitors past the
// cap of all together that come back at once pass through it too, by the
// thousand a second: the host's connection waits behind them in the queue
// rather than being dropped (the system may hold it lower: Linux's
// net.core.somaxconn).
constexpr int kListenQueue = 4096;
const char* const kDefaultDocs = "index.html|index.php|";
}  // namespace

TWebServer::TWebServer()
    : FMimeTable(std::make_unique<TIdMimeTable>(true)), FServer(std::make_unique<TIdTCPServer>()) {
  FServer->OnConnect = [this](TIdPeerThread& thread) { HandleConnection(thread); };
  FServer->ListenQueue = kListenQueue;
}

TWebServer::~TWebServer() {
  Stop();
  FServer.reset();
  if (FCheckThread.joinable()) FCheckThread.join();
  FMimeTable.reset();
}

void TWebServer::Start(int port) {
  Stop();
  // A check of an earlier Start that still runs ends within its time limit.
  if (FCheckThread.joinable()) FCheckThread.join();
  const std::string appDir = GetAppDir();
  FWebRoot = appDir + PathDelim() + "www";
  FSharedDirList = TOstrel::CombinePath(FWebRoot + PathDelim() + kSharedDirsFile, "");
  {
    std::lock_guard<std::mutex> lock(FCheckLock);
    FChecked = false;
  }
  const std::string interpreter = FindInterpreter(appDir);
  try {
    FCheckThread = std::thread([this, interpreter] { CheckInterpreterNow(interpreter); });
  } catch (const std::system_error&) {
    CheckInterpreterNow(interpreter);  // no thread to be had: the check holds the caller instead
  }
  php_temp::RemoveLeftovers(appDir + PathDelim() + "php" + PathDelim() + "temp", ProgramStartTime());
  RefreshAddresses();
  FServer->MaxConnectionsPerVisitor = MaxConnectionsPerVisitor;
  FServer->MaxVisitorConnections = MaxVisitorConnections;
  FInterpreterPlaces.SetLimits(MaxInterpretersPerVisitor, MaxInterpreters);
  for (int attempt = 0; attempt < kBindAttempts; ++attempt) {
    try {
      FServer->Bindings().Clear();
      FServer->SetDefaultPort(port);
      FServer->SetActive(true);
    } catch (...) {
      // The outcome is Active; the port is freed below and tried again.
    }
    if (FServer->Active()) break;
    FreePort(port);
  }
  FActive = FServer->Active();
}

void TWebServer::CheckInterpreterNow(const std::string& path) {
  TInterpreterCheck check;
  try {
    check = CheckInterpreter(path);
  } catch (...) {
    check = {path, path.empty() ? TInterpreterKind::Missing : TInterpreterKind::NotCgi};
  }
  {
    std::lock_guard<std::mutex> lock(FCheckLock);
    FInterpreter = check;
    FPhpExe = check.Kind == TInterpreterKind::Cgi ? check.Path : std::string();
    FChecked = true;
  }
  FCheckDone.notify_all();
  try {
    if (OnInterpreterChecked) OnInterpreterChecked();
  } catch (...) {
    // The verdict stands; only the news of it is lost.
  }
}

TInterpreterCheck TWebServer::Interpreter() const {
  std::unique_lock<std::mutex> lock(FCheckLock);
  FCheckDone.wait(lock, [this] { return FChecked; });
  return FInterpreter;
}

bool TWebServer::InterpreterKnown() const {
  std::lock_guard<std::mutex> lock(FCheckLock);
  return FChecked;
}

std::string TWebServer::PhpExe() const {
  std::unique_lock<std::mutex> lock(FCheckLock);
  FCheckDone.wait(lock, [this] { return FChecked; });
  return FPhpExe;
}

void TWebServer::RefreshAddresses() {
  std::vector<TLocalAddress> own;
  try {
    own = LocalAddresses();
  } catch (...) {
  }
  UseAddresses(std::move(own));
}

// A machine without any address leaves LOCAL_ADDR empty, as a failed lookup
// did before, and the host page's list empty rather than last Start's.
void TWebServer::UseAddresses(std::vector<TLocalAddress> own) {
  const std::vector<TLocalAddress> offered = OfferedAddresses(own);
  try {
    WriteHostNetwork(offered);
  } catch (...) {
  }
  std::lock_guard<std::mutex> lock(FAddressLock);
  FAddresses = std::move(own);
  FLocalIP = offered.empty() ? std::string() : offered.front().IP;
}

std::vector<TLocalAddress> TWebServer::Addresses() const {
  std::lock_guard<std::mutex> lock(FAddressLock);
  return FAddresses;
}

std::string TWebServer::LocalIP() const {
  std::lock_guard<std::mutex> lock(FAddressLock);
  return FLocalIP;
}

bool TWebServer::Stop() {
  bool stopped = true;
  if (FServer->Active()) {
    try {
      FServer->SetActive(false);
    } catch (...) {
      stopped = false;  // peers outlived the wait: keep the bindings as they are
    }
  }
  if (stopped) {
    try {
      FServer->Bindings().Clear();
    } catch (...) {
    }
  }
  FActive = FServer->Active();
  return FActive;
}

void TWebServer::HandleConnection(TIdPeerThread& thread) {
  try {
    TIdTCPServerConnection& connection = *thread.Connection();
    connection.WriteTimeout = WriteTimeoutMs;
    const TRequest request = TOstrel::ReadRequest(
        connection, TDeadline::At(connection.AcceptedAt() + std::chrono::milliseconds(RequestHeadTimeoutMs)));
    if (request.Malformed()) {
      connection.CloseConnection();
      return;
    }
    const bool get = request.MethodIs("GET"), post = request.MethodIs("POST");
    const std::string target = TOstrel::MapUrlToFile(FWebRoot, request.Url(), kDefaultDocs, "|");
    const bool isPhp = text::UpperAscii(MimeExtensionOf(target)) == ".PHP";
    const std::string phpExe = isPhp ? PhpExe() : std::string();
    const bool refused = (!get && !post) || target.empty() || (isPhp && !native_fs::FileExists(phpExe)) ||
                         (!isPhp && post) || native_fs::SamePath(target, FSharedDirList);
    if (refused) connection.CloseConnection();
    else if (target.back() == '/') SendRedirect(thread, target);
    else if (isPhp) RunPhp(thread, request, target, phpExe);
    else SendFile(thread, target);
  } catch (...) {
    // A peer that went away, a file that vanished, a gateway failure: nothing
    // more is written, and the connection layer closes the connection.
  }
}
