// cgi_table.h - the names of the interpreter's variables in the order the
// gateway must hand them over, for GET and for POST.
#pragma once
#include <string>
#include <vector>

inline std::vector<std::string> CgiTableNames(bool post) {
  std::vector<std::string> names = {
      "APPL_MD_PATH", "APPL_PHYSICAL_PATH", "AUTH_PASSWORD", "AUTH_TYPE", "AUTH_USER", "CERT_COOKIE",
      "CERT_FLAGS", "CERT_ISSUER", "CERT_KEYSIZE", "CERT_SECRETKEYSIZE", "CERT_SERIALNUMBER",
      "CERT_SERVER_ISSUER", "CERT_SERVER_SUBJECT", "CERT_SUBJECT", "CONTENT_LENGTH", "CONTENT_TYPE",
      "GATEWAY_INTERFACE", "HTTPS", "HTTPS_KEYSIZE", "HTTPS_SECRETKEYSIZE", "HTTPS_SERVER_ISSUER",
      "HTTPS_SERVER_SUBJECT", "INSTANCE_ID", "INSTANCE_META_PATH", "LOCAL_ADDR", "LOGON_USER", "PATH_INFO",
      "PATH_TRANSLATED", "QUERY_STRING", "REMOTE_ADDR", "REMOTE_HOST", "REMOTE_USER", "REQUEST_METHOD",
      "SCRIPT_NAME", "SERVER_NAME", "SERVER_PORT", "SERVER_PORT_SECURE", "SERVER_PROTOCOL",
      "SERVER_SOFTWARE", "URL", "HTTP_ACCEPT", "HTTP_ACCEPT_LANGUAGE", "HTTP_CONNECTION", "HTTP_HOST",
      "HTTP_USER_AGENT", "HTTP_ACCEPT_ENCODING"};
  names.push_back("HTTP_COOKIE");  // the GET row's place, for a POST too
  if (post) names.insert(names.end(), {"HTTP_CONTENT_LENGTH", "HTTP_CONTENT_TYPE", "HTTP_CACHE_CONTROL"});
  names.insert(names.end(), {"ALL_HTTP", "ALL_RAW"});
  return names;
}

// The table, then what the gateway adds for applications before the request's
// other headers.
inline std::vector<std::string> CgiNamesBeforeOtherHeaders(bool post) {
  std::vector<std::string> names = CgiTableNames(post);
  names.insert(names.end(), {"DOCUMENT_ROOT", "REQUEST_URI", "SCRIPT_FILENAME", "SERVER_ADDR", "REDIRECT_STATUS"});
  return names;
}
