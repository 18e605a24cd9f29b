// cgi_env_headers.h - the request headers that the gateway's variable table
// leaves out, as the HTTP_<NAME> variables web servers give CGI programs.
// Pure text work, safe on any thread.
#pragma once
#include <string>
#include <vector>

#include "http/request.h"

namespace cgi_env {

// Appends "HTTP_<NAME>=value" for each of the request's header lines that the
// table does not already carry (post: the method's table is the POST one), in
// the order the headers first appear: the name upper-cased with "-" turned
// into "_", repeated headers joined by ", ". Never Proxy (HTTP_PROXY would
// steer the page's own outgoing requests), Authorization or
// Proxy-Authorization (credentials stay with the server), Content-Length or
// Content-Type (CONTENT_LENGTH and CONTENT_TYPE carry them); a name of other
// bytes than letters, digits and "-" is dropped, so "X_A" cannot pass for "X-A".
void AppendOtherHeaders(const std::vector<THeaderLine>& headers, bool post, std::vector<std::string>& entries);

}  // namespace cgi_env
