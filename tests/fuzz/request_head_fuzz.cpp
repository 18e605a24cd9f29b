// request_head_fuzz.cpp - bytes from a client through ReadRequest, then every
// field lookup of the dispatch and the gateway on the head that came out.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "fuzz/connection_pair.h"
#include "base/text.h"
#include "http/cgi_env.h"
#include "http/ostrel.h"
#include "net/exceptions.h"

namespace {

bool EndsWithEmptyLine(const std::string& s) {
  return s.size() >= 4 && s.compare(s.size() - 4, 4, "\r\n\r\n") == 0;
}

// The head is the input up to its first empty line, never more; and never
// longer than the limit.
void CheckHead(const std::string& input, const std::string& head) {
  const std::size_t blank = input.find("\r\n\r\n");
  if (blank == std::string::npos || head.size() != blank + 4 || input.compare(0, head.size(), head) != 0 ||
      head.size() > TOstrel::kMaxRequestHead || !EndsWithEmptyLine(head))
    std::abort();
}

void LookUpFields(const std::string& head) {
  for (const char* name : {"method", "query", "Host", "Content-Length", "Content-Type", "Cookie", "User-Agent"})
    TOstrel::GetRequestField(head, name);
  const std::string url = TOstrel::GetRequestField(head, "url");
  // The URL path form: "/" separators, never two in a row.
  if (url.find('\\') != std::string::npos || url.find("//") != std::string::npos) std::abort();
  // A header value is trimmed: no blank or control byte at either end.
  const std::string host = TOstrel::GetHeaderValue(head, "Host");
  if (!host.empty() && (static_cast<unsigned char>(host.front()) <= ' ' ||
                        static_cast<unsigned char>(host.back()) <= ' '))
    std::abort();
  // A head the dispatch would serve has a request line ending in its version
  // (blanks may follow), no control byte in that line or in its decoded path,
  // no escaped NUL in its query, and no line folded onto another.
  const TRequest request(head);
  if (!request.Malformed()) {
    auto control = [](const std::string& s) {
      return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < ' ' || c == '\x7f'; });
    };
    const std::string line = request.Line().substr(0, request.Line().find_last_not_of(' ') + 1);
    const bool versioned = request.Version().size() > 5 && text::UpperAscii(request.Version().substr(0, 5)) == "HTTP/" &&
                           line.size() >= request.Version().size() &&
                           line.compare(line.size() - request.Version().size(), std::string::npos, request.Version()) == 0;
    const bool folded = head.find("\r\n ") != std::string::npos || head.find("\r\n\t") != std::string::npos;
    if (control(request.Line()) || control(url) || !versioned || folded ||
        request.Query().find("%00") != std::string::npos)
      std::abort();
  }
  // The gateway's environment: every name one the gateway owns (an inherited
  // one of that name is dropped), no NUL that would split a Windows block.
  for (const std::string& entry : cgi_env::Build(request, {"/www", "/www/p.php", "10.0.0.1", "10.0.0.2", "10.0.0.3"}))
    if (entry.find('\0') != std::string::npos || !cgi_env::IsCgiName(entry.substr(0, entry.find('='))))
      std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string head;
  bool read = false;
  {
    TConnectionPair pair;
    // The client writes and leaves while the server reads, as a browser would;
    // a head larger than the socket buffers needs both at once.
    std::thread client([&] {
      pair.ClientSend(input);
      pair.ClientEndSend();
    });
    try {
      head = TOstrel::ReadRequest(pair.Server).Head();
      read = true;
    } catch (const EIdException&) {
      // Closed before the empty line, or a head over the limit: both refused.
      const std::size_t blank = input.find("\r\n\r\n");
      if (blank != std::string::npos && blank + 4 <= TOstrel::kMaxRequestHead) std::abort();
    }
    pair.Server.CloseConnection();  // also fails a send still under way
    client.join();
  }
  if (read) {
    CheckHead(input, head);
    LookUpFields(head);
  }
  // Lookups must cope with any text, head or not.
  LookUpFields(input);
  return 0;
}
