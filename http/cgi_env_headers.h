// cgi_env_headers.h - the request's headers as the gateway hands them over:
// the list of the headers it treats apart, kept here once (the variable
// table's rows of their own, the lines of ALL_HTTP and ALL_RAW, those never
// passed), and every other header as the HTTP_<NAME> variables web servers
// give CGI programs. Pure text work, safe on any thread.
#pragma once
#include <string>
#include <vector>

#include "http/request.h"

namespace cgi_env {

// Appends "HTTP_<NAME>=value" for each header with a row of its own in the
// method's table, in the table's order (a POST's: the cookie, the body's
// length and type, and Cache-Control as "no-cache").
void AppendHeaderRows(const TRequest& request, std::vector<std::string>& entries);

// The lines of the method's table: "HTTP_<NAME>:value\r\n" each for ALL_HTTP,
// "Name: value\r\n" for ALL_RAW (a POST's hold no Cookie line, a GET's no
// body lines).
void AppendAllLines(const TRequest& request, std::string& allHttp, std::string& allRaw);

// Appends "HTTP_<NAME>=value" for each of the request's header lines that the
// method's table does not already carry, in the order the headers first
// appear: the name upper-cased with "-" turned into "_", repeated headers
// joined by ", ". Never Proxy (HTTP_PROXY would steer the page's own outgoing
// requests), Authorization or Proxy-Authorization (credentials stay with the
// server), Content-Length or Content-Type (CONTENT_LENGTH and CONTENT_TYPE
// carry them); a name of other bytes than letters, digits and "-" is dropped,
// so "X_A" cannot pass for "X-A".
void AppendOtherHeaders(const TRequest& request, std::vector<std::string>& entries);

}  // namespace cgi_env
