// web_server_replies.cpp - TWebServer's file and redirect replies.
#include <string>

#include "base/program_env.h"
#include "base/text.h"
#include "http/web_server.h"
#include "net/file_reader.h"
#include "net/mime_table.h"
#include "net/tcp_server.h"

void TWebServer::SendFile(TIdPeerThread& thread, const std::string& fileName) {
  TIdTCPConnection& connection = *thread.Connection();
  // Opened once for its size and its bytes: a file that cannot be opened fails
  // before anything is written. The true 64-bit size is announced, so a file of
  // 2 GiB or more is described as it is.
  TIdFileReader file(fileName);
  const std::int64_t size = file.Size();
  std::string type = FMimeTable->ContentTypeFor(fileName);
  const std::string upper = text::UpperAscii(type);
  if (upper.find("TEXT") != std::string::npos || upper.find("HTML") != std::string::npos)
    type += "; charset=" + GetCharset();
  connection.WriteText("HTTP/1.1 200 OK\r\nServer: Ovrin\r\nConnection: close\r\nContent-Type: " + type +
                       "\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n",
                       true);
  connection.WriteFileContents(file, true);
  connection.CloseConnection();
}

void TWebServer::SendRedirect(TIdPeerThread& thread, const std::string& location) {
  TIdTCPConnection& connection = *thread.Connection();
  connection.WriteText("HTTP/1.1 302 Object Moved\r\nServer: Ovrin\r\nConnection: close\r\n"
                       "Content-Type: text/html\r\nLocation: " + location + "\r\n\r\n",
                       true);  // leaves with the connection's end
  connection.CloseConnection();
}
