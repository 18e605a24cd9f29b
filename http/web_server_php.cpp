// web_server_php.cpp - TWebServer::RunPhp: a ".php" page answered by the PHP
// interpreter through the Common Gateway Interface.
#include <cstdint>
#include <stdexcept>

#include "base/native_fs.h"
#include "base/program_env.h"
#include "http/cgi_env.h"
#include "http/cgi_process.h"
#include "http/web_server.h"
#include "net/tcp_server.h"

namespace {

// The directory part of path with its trailing separator; "" when it has none.
std::string DirectoryOf(const std::string& path) {
  std::size_t cut = path.find_last_of(PathDelim());
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string WithoutTrailingDelim(std::string dir) {
  if (!dir.empty() && dir.back() == PathDelim()) dir.pop_back();
  return dir;
}

}  // namespace

void TWebServer::RunPhp(TIdPeerThread& thread, const TRequest& request, const std::string& scriptFile,
                        const std::string& phpExe) {
  TIdTCPConnection& connection = *thread.Connection();
  const std::string pageDir = DirectoryOf(scriptFile);
  // A php.ini beside the page would take the place of the server's own.
  native_fs::RemoveFile(pageDir + "php.ini");

  // A body of unknown length cannot be forwarded: the request fails unanswered.
  std::int64_t bodyCount = 0;
  if (request.MethodIs("POST") && !cgi_env::ParseContentLength(request.Header("Content-Length"), bodyCount))
    throw std::invalid_argument("Content-Length is not a length");
  if (connection.SocketHandler() == nullptr) throw std::runtime_error("connection closed");
  // An interpreter per client that only announces a body would let a few
  // clients hold the machine's memory: it starts once the body begins.
  if (!AwaitBodyStart(connection, bodyCount)) {
    connection.CloseConnection();
    return;
  }

  const TIdSocketHandle& endpoint = connection.SocketHandler()->Endpoint();
  // Declared before the process, so that it is given back once the
  // interpreter has ended.
  TVisitorPlace place;
  if (endpoint.FromVisitor()) {
    // Past its share the request is closed unanswered; while all places are
    // held it waits its turn, for as long as its client stays.
    place = FInterpreterPlaces.Take(endpoint.RemoteIP(), InterpreterWaitMs, [&connection] {
      return connection.WaitWith(TIdWatch::HangUp, TIdWaitList(), 0) != TIdWoken::ClientGone;
    });
    if (!place) {
      connection.CloseConnection();
      return;
    }
  }
  const cgi_env::TCgiValues values{FWebRoot, scriptFile, endpoint.RemoteAddress(), LocalIP(), endpoint.LocalAddress()};
  const std::vector<std::string> environment =
      InterpreterEnvironment(cgi_env::Build(request, values), WithoutTrailingDelim(DirectoryOf(phpExe)));

  // The block is the child's own, so only the start itself is serialized.
  TCgiProcess process;
  bool started;
  {
    std::lock_guard<std::mutex> lock(FBusy);
    started = process.Start(phpExe, environment, pageDir);
  }
  if (started) {
    RelayCgi(connection, process, bodyCount);
    process.Finish();
  }
  connection.CloseConnection();
}
