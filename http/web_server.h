// web_server.h - TWebServer: the HTTP server of the site root. It reads one
// request per connection, answers it (a file, a redirect, a page run through
// the interpreter, or a close without a reply) and closes the connection.
//
// Create, Start, Stop, Active and destruction belong to the main thread;
// HandleConnection and the replies run on connection threads, any number at
// once; the interpreter is checked on a thread of its own.
//
// Where each group is defined:
//   web_server.cpp          construction, Start, Stop and the dispatch (HandleConnection)
//   web_server_replies.cpp  SendFile, SendRedirect
//   web_server_php.cpp      RunPhp, the page run through the interpreter
#pragma once
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "http/interpreter_check.h"
#include "http/request.h"
#include "net/address_choice.h"
#include "net/visitor_places.h"

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
  // port after each failed one. Read Active() for the outcome. The
  // interpreter's check (a run of up to 5 s) goes on meanwhile on a thread of
  // its own, so that the caller, the window's thread, is not held by it; a
  // page waits for its verdict.
  void Start(int port);
  bool Stop();
  bool Active() const { return FActive; }
  // What the last Start found in the interpreter's place, once its check is
  // done (waits for it); pages run only through a CGI build. Any thread.
  TInterpreterCheck Interpreter() const;
  // Whether the last Start's verdict is in (does not wait). Any thread.
  bool InterpreterKnown() const;
  // The machine's addresses asked afresh, then as UseAddresses. Start does it.
  // Main thread.
  void RefreshAddresses();
  // Keeps own, the machine's addresses (the program's own choice first), and
  // gives out the user's pick first: the address given out becomes the pages'
  // LOCAL_ADDR, and the host page's list is written (config/host_network.h).
  // The window, after a pick or a change of network. Main thread.
  void UseAddresses(std::vector<TLocalAddress> own);
  // The machine's addresses as last kept, the program's own choice first;
  // none before the first Start, or when the machine had none. Any thread.
  std::vector<TLocalAddress> Addresses() const;
  std::string LocalIP() const;  // the address given out; "" when none is known. Any thread.
  // Called on the check's thread when a Start's verdict is known; set before Start.
  std::function<void()> OnInterpreterChecked;

  void HandleConnection(TIdPeerThread& thread);

  // A client that never finishes its request head would hold its connection's
  // thread for ever, and one client could hold as many as it liked: a head not
  // complete this long after the accept is closed without a reply.
  static constexpr int kRequestHeadTimeoutMs = 60000;
  int RequestHeadTimeoutMs = kRequestHeadTimeoutMs;  // set before Start; tests make it short

  // One visitor (a connection from another address than the one it reached;
  // the host's own are never held back) must not take the machine: its open
  // connections past this are closed at the accept...
  static constexpr int kMaxConnectionsPerVisitor = 64;
  // ...as are all visitors' together past this: each holds a thread and a
  // descriptor (three with its interpreter), and a few hundred addresses
  // would otherwise use every process number of the machine...
  static constexpr int kMaxVisitorConnections = 1024;
  // ...its page requests past this many running interpreters are closed
  // unanswered...
  static constexpr int kMaxInterpretersPerVisitor = 16;
  // ...and the visitors' interpreters in all are held to this many, a page
  // request beyond waiting this long for a free place, then closed unanswered.
  static constexpr int kMaxInterpreters = 128;
  static constexpr int kInterpreterWaitMs = 30000;
  // A reply (a file, a redirect, a page) whose client takes no byte for this
  // long is ended, with its interpreter; a slow reader that keeps taking goes on.
  static constexpr int kWriteTimeoutMs = 60000;
  // Set before Start; tests make them small.
  int MaxConnectionsPerVisitor = kMaxConnectionsPerVisitor;
  int MaxVisitorConnections = kMaxVisitorConnections;
  int MaxInterpretersPerVisitor = kMaxInterpretersPerVisitor;
  int MaxInterpreters = kMaxInterpreters;
  int InterpreterWaitMs = kInterpreterWaitMs;
  int WriteTimeoutMs = kWriteTimeoutMs;

 private:
  void CheckInterpreterNow(const std::string& path);
  std::string PhpExe() const;  // waits for the check's verdict
  void SendFile(TIdPeerThread& thread, const std::string& fileName);
  void SendRedirect(TIdPeerThread& thread, const std::string& location);
  void RunPhp(TIdPeerThread& thread, const TRequest& request, const std::string& scriptFile,
              const std::string& phpExe);

  std::mutex FBusy;  // serializes building the interpreter's environment and starting it
  TVisitorPlaces FInterpreterPlaces;  // the visitors' running interpreters
  std::unique_ptr<TIdMimeTable> FMimeTable;
  std::unique_ptr<TIdTCPServer> FServer;
  std::string FWebRoot;  // written by Start only, after its Stop
  // The shared folders' list holds their full paths, user names among them:
  // the pages read it from disk, and no visitor gets it. Written by Start only.
  std::string FSharedDirList;
  // The interpreter's check, started by Start; joined before the next one.
  std::thread FCheckThread;
  mutable std::mutex FCheckLock;
  mutable std::condition_variable FCheckDone;
  bool FChecked = true;            // guarded by FCheckLock
  TInterpreterCheck FInterpreter;  // guarded by FCheckLock
  std::string FPhpExe;  // guarded by FCheckLock; "" when none was there at Start, or it was refused
  // The machine's addresses and the one given out, for the pages (LOCAL_ADDR):
  // asked at each Start, as asking the system on every page would cost more
  // than relaying the page itself; the window brings in a pick or a new
  // network while serving.
  mutable std::mutex FAddressLock;
  std::vector<TLocalAddress> FAddresses;  // guarded by FAddressLock
  std::string FLocalIP;                   // guarded by FAddressLock
  bool FActive = false;
};
