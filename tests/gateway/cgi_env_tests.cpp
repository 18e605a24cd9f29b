// cgi_env_tests.cpp - the interpreter's variable table built from request heads.
#include <gtest/gtest.h>

#include <map>

#include "gateway/cgi_table.h"
#include "http/cgi_env.h"
#include "http/ostrel.h"

namespace {

const cgi_env::TCgiValues kValues{"ROOT", "ROOT/page.php", "10.0.0.7", "192.168.1.20"};

struct TBuilt {
  std::vector<std::string> Names;
  std::map<std::string, std::string> Values;
};

TBuilt BuildFor(const std::string& request) {
  TBuilt built;
  for (const std::string& entry : cgi_env::Build(request, kValues)) {
    std::size_t eq = entry.find('=');
    built.Names.push_back(entry.substr(0, eq));
    built.Values[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  return built;
}

const char* const kGet =
    "GET /dir/p%20q.php?a=1&b=%41 HTTP/1.1\r\n"
    "Accept-Encoding: gzip\r\nAccept: text/html\r\nHost: example.test:8080\r\n"
    "User-Agent: tester\r\nCookie: id=7\r\nConnection: close\r\n\r\n";

const char* const kPost =
    "POST /form.php HTTP/1.1\r\nHost: example.test\r\nContent-Type: text/plain\r\n"
    "Content-Length: 10000\r\nCookie: id=7\r\nAccept-Language: en\r\n\r\n";

}  // namespace

TEST(CgiEnvTest, GetHasTheTableRowsInOrderWithTheCookie) {
  TBuilt env = BuildFor(kGet);
  EXPECT_EQ(env.Names, CgiTableNames(false));
  std::map<std::string, std::string> expected = {
      {"APPL_MD_PATH", "/LM/W3SVC/1/ROOT"},
      {"APPL_PHYSICAL_PATH", std::string("ROOT") + TOstrel::PathDelim()},
      {"CERT_SUBJECT", ""},
      {"CONTENT_LENGTH", "0"},
      {"CONTENT_TYPE", ""},
      {"GATEWAY_INTERFACE", "CGI/1.1"},
      {"HTTPS", "off"},
      {"INSTANCE_ID", "1"},
      {"INSTANCE_META_PATH", "/LM/W3SVC/1"},
      {"LOCAL_ADDR", "192.168.1.20"},
      {"PATH_INFO", "/dir/p q.php"},
      {"PATH_TRANSLATED", "ROOT/page.php"},
      {"QUERY_STRING", "a=1&b=%41"},
      {"REMOTE_ADDR", "10.0.0.7"},
      {"REMOTE_HOST", "10.0.0.7"},
      {"REQUEST_METHOD", "GET"},
      {"SCRIPT_NAME", "/dir/p q.php"},
      {"SERVER_NAME", "example.test"},
      {"SERVER_PORT", "8080"},
      {"SERVER_PORT_SECURE", "0"},
      {"SERVER_PROTOCOL", "HTTP/1.1"},
      {"SERVER_SOFTWARE", "Ovrin"},
      {"URL", "/dir/p q.php"},
      {"HTTP_ACCEPT", "text/html"},
      {"HTTP_ACCEPT_LANGUAGE", ""},
      {"HTTP_CONNECTION", "close"},
      {"HTTP_HOST", "example.test:8080"},
      {"HTTP_USER_AGENT", "tester"},
      {"HTTP_ACCEPT_ENCODING", "gzip"},
      {"HTTP_COOKIE", "id=7"},
      {"ALL_HTTP",
       "HTTP_ACCEPT:text/html\r\nHTTP_ACCEPT_LANGUAGE:\r\nHTTP_CONNECTION:close\r\n"
       "HTTP_HOST:example.test:8080\r\nHTTP_USER_AGENT:tester\r\nHTTP_COOKIE:id=7\r\n"
       "HTTP_ACCEPT_ENCODING:gzip\r\n"},
      {"ALL_RAW",
       "Accept: text/html\r\nAccept-Language: \r\nConnection: close\r\nHost: example.test:8080\r\n"
       "User-Agent: tester\r\nCookie: id=7\r\nAccept-Encoding: gzip\r\n"},
  };
  for (const auto& [name, value] : expected) EXPECT_EQ(env.Values[name], value) << name;
}

TEST(CgiEnvTest, PostSetsTheBodyRowsAndLeavesTheCookieOut) {
  TBuilt env = BuildFor(kPost);
  EXPECT_EQ(env.Names, CgiTableNames(true));
  EXPECT_EQ(env.Values["CONTENT_LENGTH"], "10000");
  EXPECT_EQ(env.Values["CONTENT_TYPE"], "text/plain");
  EXPECT_EQ(env.Values["HTTP_CONTENT_LENGTH"], "10000");
  EXPECT_EQ(env.Values["HTTP_CONTENT_TYPE"], "text/plain");
  EXPECT_EQ(env.Values["HTTP_CACHE_CONTROL"], "no-cache");
  EXPECT_EQ(env.Values.count("HTTP_COOKIE"), 0u);
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

TEST(CgiEnvTest, MethodKeepsItsCaseAndStillSelectsItsRows) {
  TBuilt env = BuildFor("post /f.php HTTP/1.1\r\nContent-Length: 3\r\n\r\n");
  EXPECT_EQ(env.Values["REQUEST_METHOD"], "post");
  EXPECT_EQ(env.Names, CgiTableNames(true));
  env = BuildFor("get /f.php HTTP/1.1\r\n\r\n");
  EXPECT_EQ(env.Names, CgiTableNames(false));
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

TEST(CgiEnvTest, EveryTableNameIsKnownWhateverItsCase) {
  for (const std::string& name : CgiTableNames(true)) EXPECT_TRUE(cgi_env::IsCgiName(name)) << name;
  EXPECT_TRUE(cgi_env::IsCgiName("http_cookie"));
  EXPECT_FALSE(cgi_env::IsCgiName("PATH"));
  EXPECT_FALSE(cgi_env::IsCgiName("SystemRoot"));
}
