// web_server.h - TWebServer: the HTTP server of the site root. It reads one
// request per connection, answers it (a file, a redirect, a page run through
// the interpreter, or a close without a reply) and closes the connection.
//
// Create, Start, Stop, Active and destruction belong to the main thread;
// HandleConnection and the replies run on connection threads, any number at once.
//
// Where each group is defined:
//   web_server.cpp          construction, Start, Stop and the dispatch (HandleConnection)
//   web_server_replies.cpp  SendFile, SendRedirect
//   web_server_php.cpp      RunPhp, the page run through the interpreter
#pragma once
#include <memory>
#include <mutex>
#include <string>

#include "http/interpreter_check.h"
#include "http/request.h"

class TIdMimeTable;
class TIdPeerThread;
class TIdTCPServer;

class TWebServer {
 public:
  TWebServer();
  ~TWebServer();
  TWebServer(const TWebServer&) = delete;
  TWebServer& operator=(const TWebServer&) = delete;

  // Listens on every local address at port: up to three attempts, freeing the
  // port after each failed one. Read Active() for the outcome.
  void Start(int port);
  bool Stop();
  bool Active() const { return FActive; }
  // What the last Start found in the interpreter's place; pages run only
  // through a CGI build.
  const TInterpreterCheck& Interpreter() const { return FInterpreter; }

  void HandleConnection(TIdPeerThread& thread);

  // A client that never finishes its request head would hold its connection's
  // thread for ever, and one client could hold as many as it liked: a head not
  // complete this long after the accept is closed without a reply.
  static constexpr int kRequestHeadTimeoutMs = 60000;
  int RequestHeadTimeoutMs = kRequestHeadTimeoutMs;  // set before Start; tests make it short

 private:
  void SendFile(TIdPeerThread& thread, const std::string& fileName);
  void SendRedirect(TIdPeerThread& thread, const std::string& location);
  void RunPhp(TIdPeerThread& thread, const TRequest& request, const std::string& scriptFile);

  std::mutex FBusy;  // serializes building the interpreter's environment and starting it
  std::unique_ptr<TIdMimeTable> FMimeTable;
  std::unique_ptr<TIdTCPServer> FServer;
  std::string FWebRoot;  // written by Start only, after its Stop
  // The shared folders' list holds their full paths, user names among them:
  // the pages read it from disk, and no visitor gets it. Written by Start only.
  std::string FSharedDirList;
  std::string FPhpExe;   // "" when no interpreter was there at Start, or it was refused
  TInterpreterCheck FInterpreter;  // written by Start only
  // The machine's address for the pages, looked up once per Start: a host-name
  // lookup on every page would cost more than relaying the page itself.
  std::string FLocalIP;
  bool FActive = false;
};
