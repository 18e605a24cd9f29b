// cgi_env_tests.cpp - the interpreter's variable table built from request heads.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "base/program_env.h"
#include "http/cgi_env.h"

namespace {

const cgi_env::TCgiValues kValues{"ROOT", "ROOT/page.php", "10.0.0.7", "192.168.1.20", "127.0.0.5"};

using TEntries = std::vector<std::pair<std::string, std::string>>;

struct TBuilt {
  TEntries Entries;
  std::vector<std::string> Names;
  std::map<std::string, std::string> Values;
};

TBuilt BuildFor(const std::string& request) {
  TBuilt built;
  for (const std::string& entry : cgi_env::Build(TRequest(request), kValues)) {
    std::size_t eq = entry.find('=');
    built.Entries.emplace_back(entry.substr(0, eq), entry.substr(eq + 1));
    built.Names.push_back(entry.substr(0, eq));
    built.Values[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  return built;
}

// The names of a GET's table: the POST rows go after HTTP_COOKIE.
std::vector<std::string> WithPostRows(std::vector<std::string> names) {
  auto cookie = std::find(names.begin(), names.end(), "HTTP_COOKIE");
  names.insert(cookie + 1, {"HTTP_CONTENT_LENGTH", "HTTP_CONTENT_TYPE", "HTTP_CACHE_CONTROL"});
  return names;
}

std::vector<std::string> GetTableNames() { return BuildFor("GET / HTTP/1.1\r\n\r\n").Names; }

const char* const kGet =
    "GET /dir/p%20q.php?a=1&b=%41 HTTP/1.1\r\n"
    "Accept-Encoding: gzip\r\nAccept: text/html\r\nHost: example.test:8080\r\n"
    "User-Agent: tester\r\nCookie: id=7\r\nConnection: close\r\n\r\n";

const char* const kPost =
    "POST /form.php HTTP/1.1\r\nHost: example.test\r\nContent-Type: text/plain\r\n"
    "Content-Length: 10000\r\nCookie: id=7\r\nAccept-Language: en\r\n\r\n";

}  // namespace

TEST(CgiEnvTest, GetHasTheTableRowsInOrderWithTheCookie) {
  const std::string root = std::string("ROOT") + PathDelim();
  const TEntries expected = {
      {"APPL_MD_PATH", "/LM/W3SVC/1/ROOT"}, {"APPL_PHYSICAL_PATH", root},
      {"AUTH_PASSWORD", ""}, {"AUTH_TYPE", ""}, {"AUTH_USER", ""}, {"CERT_COOKIE", ""}, {"CERT_FLAGS", ""},
      {"CERT_ISSUER", ""}, {"CERT_KEYSIZE", ""}, {"CERT_SECRETKEYSIZE", ""}, {"CERT_SERIALNUMBER", ""},
      {"CERT_SERVER_ISSUER", ""}, {"CERT_SERVER_SUBJECT", ""}, {"CERT_SUBJECT", ""},
      {"CONTENT_LENGTH", "0"}, {"CONTENT_TYPE", ""}, {"GATEWAY_INTERFACE", "CGI/1.1"}, {"HTTPS", "off"},
      {"HTTPS_KEYSIZE", ""}, {"HTTPS_SECRETKEYSIZE", ""}, {"HTTPS_SERVER_ISSUER", ""}, {"HTTPS_SERVER_SUBJECT", ""},
      {"INSTANCE_ID", "1"}, {"INSTANCE_META_PATH", "/LM/W3SVC/1"}, {"LOCAL_ADDR", "192.168.1.20"},
      {"LOGON_USER", ""}, {"PATH_INFO", "/dir/p q.php"}, {"PATH_TRANSLATED", "ROOT/page.php"},
      {"QUERY_STRING", "a=1&b=%41"}, {"REMOTE_ADDR", "10.0.0.7"}, {"REMOTE_HOST", "10.0.0.7"},
      {"REMOTE_USER", ""}, {"REQUEST_METHOD", "GET"}, {"SCRIPT_NAME", "/dir/p q.php"},
      {"SERVER_NAME", "example.test"}, {"SERVER_PORT", "8080"}, {"SERVER_PORT_SECURE", "0"},
      {"SERVER_PROTOCOL", "HTTP/1.1"}, {"SERVER_SOFTWARE", "Ovrin"}, {"URL", "/dir/p q.php"},
      {"HTTP_ACCEPT", "text/html"}, {"HTTP_ACCEPT_LANGUAGE", ""}, {"HTTP_CONNECTION", "close"},
      {"HTTP_HOST", "example.test:8080"}, {"HTTP_USER_AGENT", "tester"}, {"HTTP_ACCEPT_ENCODING", "gzip"},
      {"HTTP_COOKIE", "id=7"},
      {"ALL_HTTP",
       "HTTP_ACCEPT:text/html\r\nHTTP_ACCEPT_LANGUAGE:\r\nHTTP_CONNECTION:close\r\n"
       "HTTP_HOST:example.test:8080\r\nHTTP_USER_AGENT:tester\r\nHTTP_COOKIE:id=7\r\n"
       "HTTP_ACCEPT_ENCODING:gzip\r\n"},
      {"ALL_RAW",
       "Accept: text/html\r\nAccept-Language: \r\nConnection: close\r\nHost: example.test:8080\r\n"
       "User-Agent: tester\r\nCookie: id=7\r\nAccept-Encoding: gzip\r\n"},
      {"DOCUMENT_ROOT", "ROOT"}, {"REQUEST_URI", "/dir/p%20q.php?a=1&b=%41"}, {"SCRIPT_FILENAME", "ROOT/page.php"},
      {"SERVER_ADDR", "127.0.0.5"}, {"REDIRECT_STATUS", "200"}, {"OSTREL_PARSE_BODY", "1"},
  };
  EXPECT_EQ(BuildFor(kGet).Entries, expected);
}

// The cookie reaches a POST's page as a GET's, so a form keeps its session;
// ALL_HTTP and ALL_RAW keep the POST table's lines.
TEST(CgiEnvTest, PostSetsTheBodyRowsAndTheCookieButNoCookieLine) {
  TBuilt env = BuildFor(kPost);
  EXPECT_EQ(env.Names, WithPostRows(GetTableNames()));
  EXPECT_EQ(env.Values["HTTP_COOKIE"], "id=7");
  EXPECT_EQ(env.Values["CONTENT_LENGTH"], "10000");
  EXPECT_EQ(env.Values["CONTENT_TYPE"], "text/plain");
  EXPECT_EQ(env.Values["HTTP_CONTENT_LENGTH"], "10000");
  EXPECT_EQ(env.Values["HTTP_CONTENT_TYPE"], "text/plain");
  EXPECT_EQ(env.Values["HTTP_CACHE_CONTROL"], "no-cache");
  EXPECT_EQ(env.Values["SERVER_PORT"], "80");
  EXPECT_EQ(env.Values["ALL_HTTP"],
            "HTTP_ACCEPT:\r\nHTTP_ACCEPT_LANGUAGE:en\r\nHTTP_CONNECTION:\r\nHTTP_HOST:example.test\r\n"
            "HTTP_USER_AGENT:\r\nHTTP_CONTENT_LENGTH:10000\r\nHTTP_CONTENT_TYPE:text/plain\r\n"
            "HTTP_ACCEPT_ENCODING:\r\nHTTP_CACHE_CONTROL:no-cache\r\n");
  EXPECT_EQ(env.Values["ALL_RAW"],
            "Accept: \r\nAccept-Language: en\r\nConnection: \r\nHost: example.test\r\nUser-Agent: \r\n"
            "Content-Length: 10000\r\nContent-Type: text/plain\r\nAccept-Encoding: \r\n"
            "Cache-Control: no-cache\r\n");
}

// The interpreter reads only a form's body ahead of the page (php.ini takes
// enable_post_data_reading from the variable); any other stays in its input.
TEST(CgiEnvTest, OnlyAFormsBodyIsParsedBeforeThePageRuns) {
  const char* const cases[][2] = {
      {"Content-Type:  Multipart/Form-Data ;boundary=x\r\n", "1"},
      {"Content-Type: APPLICATION/X-WWW-FORM-URLENCODED; charset=UTF-8\r\n", "1"},
      {"", "0"}, {"Content-Type: application/octet-stream\r\n", "0"}, {"Content-Type: multipart/form-data-x\r\n", "0"}};
  for (const auto& [type, parse] : cases) {
    const std::string head = std::string(" /p.php HTTP/1.1\r\nContent-Length: 3\r\n") + type + "\r\n";
    EXPECT_EQ(BuildFor("POST" + head).Values["OSTREL_PARSE_BODY"], parse) << type;
    EXPECT_EQ(BuildFor("GET" + head).Values["OSTREL_PARSE_BODY"], "1") << "a GET has no body";
  }
}

TEST(CgiEnvTest, MethodKeepsItsCaseAndStillSelectsItsRows) {
  TBuilt env = BuildFor("post /f.php HTTP/1.1\r\nContent-Length: 3\r\n\r\n");
  EXPECT_EQ(env.Values["REQUEST_METHOD"], "post");
  EXPECT_EQ(env.Names, WithPostRows(GetTableNames()));
  env = BuildFor("get /f.php HTTP/1.1\r\n\r\n");
  EXPECT_EQ(env.Names, GetTableNames());
}

// Every header the table leaves out follows as web servers give it, except
// those that would steer the page (Proxy) or hand it credentials.
TEST(CgiEnvTest, OtherHeadersFollowAsHttpVariables) {
  const std::string head =
      "GET /p.php HTTP/1.1\r\nHost: h\r\nReferer: http://h/a\r\nRange: bytes=1000-1999\r\n"
      "If-Range: \"e1\"\r\nProxy: http://evil:8080\r\nAuthorization: Basic eDp5\r\n"
      "Proxy-Authorization: Basic eDp5\r\nX-Requested-With: XMLHttpRequest\r\nX_Requested_With: fake\r\n"
      "Bad Name: x\r\nContent-Type: text/plain\r\nContent-Length: 3\r\nCache-Control: max-age=0\r\n"
      "X-Dup: a\r\nx-dup:  b \r\nX-Nul: before" + std::string(1, '\0') + "after\r\nCookie: c=1\r\n\r\n";
  TBuilt env = BuildFor(head);
  std::vector<std::string> names = GetTableNames();
  names.insert(names.end(), {"HTTP_REFERER", "HTTP_RANGE", "HTTP_IF_RANGE", "HTTP_X_REQUESTED_WITH",
                             "HTTP_CACHE_CONTROL", "HTTP_X_DUP", "HTTP_X_NUL"});
  EXPECT_EQ(env.Names, names);
  EXPECT_EQ(env.Values["HTTP_REFERER"], "http://h/a");
  EXPECT_EQ(env.Values["HTTP_RANGE"], "bytes=1000-1999");
  EXPECT_EQ(env.Values["HTTP_IF_RANGE"], "\"e1\"");
  EXPECT_EQ(env.Values["HTTP_X_REQUESTED_WITH"], "XMLHttpRequest");
  EXPECT_EQ(env.Values["HTTP_CACHE_CONTROL"], "max-age=0");
  EXPECT_EQ(env.Values["HTTP_X_DUP"], "a, b");
  EXPECT_EQ(env.Values["HTTP_X_NUL"], "before");
  EXPECT_EQ(env.Values["HTTP_COOKIE"], "c=1");
  EXPECT_EQ(env.Values["CONTENT_LENGTH"], "0") << "a GET forwards no body";

  // A POST's table fixes Cache-Control and carries the body's length and type.
  env = BuildFor("POST /p.php HTTP/1.1\r\nContent-Length: 3\r\nCache-Control: max-age=0\r\nOrigin: http://h\r\n\r\n");
  names = WithPostRows(GetTableNames());
  names.push_back("HTTP_ORIGIN");
  EXPECT_EQ(env.Names, names);
  EXPECT_EQ(env.Values["HTTP_CACHE_CONTROL"], "no-cache");
}

TEST(CgiEnvTest, ServerNameAndPortComeFromHost) {
  struct {
    const char* host;
    const char* name;
    const char* port;
  } cases[] = {
      {"Host: a.b:8080\r\n", "a.b", "8080"},
      {"Host: a.b\r\n", "a.b", "80"},
      {"Host: a.b:\r\n", "a.b", "80"},
      {"", "", "80"},
      {"Host: 10.1.2.3:60001\r\n", "10.1.2.3", "60001"},
  };
  for (const auto& c : cases) {
    TBuilt env = BuildFor(std::string("GET / HTTP/1.1\r\n") + c.host + "\r\n");
    EXPECT_EQ(env.Values["SERVER_NAME"], c.name) << c.host;
    EXPECT_EQ(env.Values["SERVER_PORT"], c.port) << c.host;
  }
}

TEST(CgiEnvTest, ContentLengthMustBeAPlainDecimalNumber) {
  std::int64_t n = -1;
  EXPECT_TRUE(cgi_env::ParseContentLength("0", n));
  EXPECT_EQ(n, 0);
  EXPECT_TRUE(cgi_env::ParseContentLength("10000", n));
  EXPECT_EQ(n, 10000);
  EXPECT_TRUE(cgi_env::ParseContentLength("104857600", n));
  EXPECT_EQ(n, 104857600);
  for (const char* bad : {"", "-1", "+5", "12a", "0x10", "1 2", "99999999999999999999"})
    EXPECT_FALSE(cgi_env::ParseContentLength(bad, n)) << bad;
}

TEST(CgiEnvTest, EveryNameTheGatewaySetsIsKnownWhateverItsCase) {
  // An inherited variable of any name the gateway may set must not reach a page.
  for (const char* head : {kGet, kPost})
    for (const std::string& name : BuildFor(head).Names) EXPECT_TRUE(cgi_env::IsCgiName(name)) << name;
  EXPECT_TRUE(cgi_env::IsCgiName("http_cookie"));
  EXPECT_TRUE(cgi_env::IsCgiName("HTTP_PROXY")) << "an inherited one would look like a request header";
  EXPECT_FALSE(cgi_env::IsCgiName("PATH"));
  EXPECT_FALSE(cgi_env::IsCgiName("SystemRoot"));
}
