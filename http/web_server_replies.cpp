// web_server_replies.cpp - TWebServer's file and redirect replies.
#include <string>

#include "http/ostrel.h"
#include "http/text.h"
#include "http/web_server.h"
#include "net/mime_table.h"
#include "net/tcp_server.h"

void TWebServer::SendFile(TIdPeerThread& thread, const std::string& fileName) {
  TIdTCPConnection& connection = *thread.Connection();
  // The true 64-bit size: a file of 2 GiB or more is announced as it is.
  const std::int64_t size = FileSizeByPath(fileName);
  std::string type = FMimeTable->ContentTypeFor(fileName);
  const std::string upper = text::UpperAscii(type);
  if (upper.find("TEXT") != std::string::npos || upper.find("HTML") != std::string::npos)
    type += "; charset=" + TOstrel::GetCharset();
  connection.WriteText("HTTP/1.1 200 OK\r\nServer: Ovrin\r\nConnection: close\r\nContent-Type: " + type +
                       "\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n");
  connection.WriteFileContents(fileName, false);
  connection.CloseConnection();
}

void TWebServer::SendRedirect(TIdPeerThread& thread, const std::string& location) {
  TIdTCPConnection& connection = *thread.Connection();
  connection.WriteText("HTTP/1.1 302 Object Moved\r\nServer: Ovrin\r\nConnection: close\r\n"
                       "Content-Type: text/html\r\nLocation: " + location + "\r\n\r\n");
  connection.CloseConnection();
}
