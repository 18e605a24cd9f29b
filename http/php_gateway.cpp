// php_gateway.cpp - TWebServer::RunPhp (placeholder until the gateway lands).
#include "http/web_server.h"
#include "net/tcp_server.h"

void TWebServer::RunPhp(TIdPeerThread& thread, const std::string&, const std::string&) {
  thread.Connection()->CloseConnection();
}
