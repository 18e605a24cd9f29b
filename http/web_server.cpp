// web_server.cpp - TWebServer: start with port freeing, stop, and the dispatch
// of each request to a close, a redirect, a file or the PHP gateway.
#include "http/web_server.h"

#include "base/constants.h"
#include "base/text.h"
#include "http/interpreter_path.h"
#include "base/native_fs.h"
#include "http/ostrel.h"
#include "http/php_temp.h"
#include "net/mime_table.h"
#include "net/tcp_server.h"

namespace {
constexpr int kBindAttempts = 3;
// Browsers open several connections at once and every request is a connection
// of its own: a queue of 15 overflows in a burst, and the client then waits a
// whole SYN retransmission (a second or more) for its page.
constexpr int kListenQueue = 128;
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
  FMimeTable.reset();
}

void TWebServer::Start(int port) {
  Stop();
  const std::string appDir = TOstrel::GetAppDir();
  FWebRoot = appDir + TOstrel::PathDelim() + "www";
  FSharedDirList = TOstrel::CombinePath(FWebRoot + TOstrel::PathDelim() + kSharedDirsFile, "");
  FInterpreter = CheckInterpreter(FindInterpreter(appDir));
  FPhpExe = FInterpreter.Kind == TInterpreterKind::Cgi ? FInterpreter.Path : std::string();
  php_temp::RemoveLeftovers(appDir + TOstrel::PathDelim() + "php" + TOstrel::PathDelim() + "temp");
  try {
    FLocalIP = TOstrel::GetLocalIP();
  } catch (...) {
    FLocalIP.clear();  // no address: the pages see an empty LOCAL_ADDR
  }
  for (int attempt = 0; attempt < kBindAttempts; ++attempt) {
    try {
      FServer->Bindings().Clear();
      FServer->SetDefaultPort(port);
      FServer->SetActive(true);
    } catch (...) {
      // The outcome is Active; the port is freed below and tried again.
    }
    if (FServer->Active()) break;
    TOstrel::FreePort(port);
  }
  FActive = FServer->Active();
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
    const std::string request = TOstrel::ReadRequest(
        connection, TDeadline::At(connection.AcceptedAt() + std::chrono::milliseconds(RequestHeadTimeoutMs)));
    const std::string method = text::UpperAscii(TOstrel::GetRequestField(request, "method"));
    const std::string url = TOstrel::GetRequestField(request, "url");
    const std::string target = TOstrel::MapUrlToFile(FWebRoot, url, kDefaultDocs, "|");
    const std::string ext = text::UpperAscii(MimeExtensionOf(target));
    const bool isPhp = ext == ".PHP";
    const bool refused = (method != "GET" && method != "POST") || target.empty() ||
                         (isPhp && !native_fs::FileExists(FPhpExe)) || (!isPhp && method == "POST") ||
                         native_fs::SamePath(target, FSharedDirList);
    if (refused) thread.Connection()->CloseConnection();
    else if (target.back() == '/') SendRedirect(thread, target);
    else if (isPhp) RunPhp(thread, request, target);
    else SendFile(thread, target);
  } catch (...) {
    // A peer that went away, a file that vanished, a gateway failure: nothing
    // more is written, and the connection layer closes the connection.
  }
}
