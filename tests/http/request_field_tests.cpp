// Taking the method, path, query and header values out of a request head.
#include <gtest/gtest.h>

#include <string>

#include "http/ostrel.h"
#include "http/request.h"
#include "support/cpu_time.h"

namespace {

std::string Url(const std::string& target) {
  return TOstrel::GetRequestField("GET " + target + " HTTP/1.1\r\nHost: h\r\n\r\n", "url");
}

TEST(RequestField, MethodIsTheTextBeforeTheFirstSpaceAsSent) {
  EXPECT_EQ("GET", TOstrel::GetRequestField("GET / HTTP/1.1\r\n\r\n", "method"));
  EXPECT_EQ("post", TOstrel::GetRequestField("post /a.php HTTP/1.1\r\n\r\n", "METHOD"));
  EXPECT_EQ("GET\r\n\r\n", TOstrel::GetRequestField("GET\r\n\r\n", "method"));
}

TEST(RequestField, PathAndQuerySplitAtTheFirstQuestionMark) {
  const struct {
    const char* Head;
    const char* Url;
    const char* Query;
  } cases[] = {
      {"GET /a?b=1&c=2 HTTP/1.1\r\n\r\n", "/a", "b=1&c=2"},
      {"GET /a HTTP/1.1\r\n\r\n", "/a", ""},
      {"GET /a? HTTP/1.1\r\n\r\n", "/a", ""},
      {"GET /a?x=%41+b?c HTTP/1.1\r\n\r\n", "/a", "x=%41+b?c"},
      {"GET    /spaced   HTTP/1.1\r\n\r\n", "/spaced", ""},
      {"GET /no-version\r\n\r\n", "/no-version", ""},
      {"GET ?only=query HTTP/1.1\r\n\r\n", "", "only=query"},
      {"GET\r\n\r\n", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.Url, TOstrel::GetRequestField(c.Head, "url")) << c.Head;
    EXPECT_EQ(c.Query, TOstrel::GetRequestField(c.Head, "Query")) << c.Head;
  }
}

TEST(RequestField, UrlIsPercentDecodedAndCollapsedToSingleSlashes) {
  const std::pair<const char*, std::string> cases[] = {
      {"/a+b", "/a b"},
      {"/a%2Bb", "/a+b"},
      {"/a%2bb", "/a+b"},
      {"/%41%62c", "/Abc"},
      {"/a%00b", "/ab"},          // no NUL: the escape gives nothing
      {"/a%zzb", "/ab"},          // three characters consumed, nothing emitted
      {"/a%2", "/a"},             // a cut escape at the end
      {"/a%", "/a"},
      {"/a%g1b", "/ab"},
      {"/a%%41", "/a1"},          // "%%4" is consumed, then "1"
      {"/a%20b", "/a b"},
      {"/a%2fb", "/a/b"},
      {"/a%5cb", "/a/b"},         // backslashes act as slashes
      {"/a\\b", "/a/b"},
      {"//a///b//", "/a/b/"},
      {"/a%2F%2Fb", "/a/b"},
      {"/%2e%2e/x", "/../x"},     // decoded here, refused later by the root check
      {"/%ff", "/\xff"},          // not UTF-8: kept as the byte
  };
  for (const auto& [target, url] : cases) EXPECT_EQ(url, Url(target)) << target;
}

TEST(RequestField, Utf8EscapesBecomeTheAnsiForm) {
  std::string url = Url("/caf%C3%A9.txt");
#ifdef _WIN32
  // Windows code pages hold this letter in one byte.
  EXPECT_EQ(9u, url.size()) << url;
  EXPECT_EQ("/caf", url.substr(0, 4));
  EXPECT_EQ(".txt", url.substr(5));
  EXPECT_NE('\xC3', url[4]);
#else
  EXPECT_EQ("/caf\xC3\xA9.txt", url);  // the 8-bit text is UTF-8 itself
#endif
  // Invalid UTF-8 stays as the bytes sent.
  EXPECT_EQ("/caf\xE9.txt", Url("/caf%E9.txt"));
}

TEST(RequestField, HeaderIsFoundByItsExactNameOnly) {
  const std::string head =
      "GET /x?Accept:evil HTTP/1.1\r\n"
      "Accept-Encoding: gzip\r\n"
      "Accept: text/html\r\n"
      "X-Empty:\r\n"
      "X-Blank:   \t \r\n"
      " Spaced-Name : padded value \r\n"
      "Host: example\r\n"
      "Accept: second\r\n"
      "No colon line\r\n"
      "Content-Length: 12\r\n"
      "\r\n";
  const std::pair<const char*, const char*> cases[] = {
      {"Accept", "text/html"},
      {"accept-encoding", "gzip"},
      {"ACCEPT-ENCODING", "gzip"},
      {"X-Empty", ""},
      {"X-Blank", ""},
      {"Spaced-Name", "padded value"},
      {"Host", "example"},
      {"Content-Length", "12"},
      {"Missing", ""},
      {"No colon line", ""},
      {"Accept-", ""},
      {"", ""},
  };
  for (const auto& [name, value] : cases) EXPECT_EQ(value, TOstrel::GetRequestField(head, name)) << name;
}

TEST(RequestField, HeaderNameInTheRequestLineIsNotTaken) {
  EXPECT_EQ("real", TOstrel::GetRequestField("GET /Host:fake HTTP/1.1\r\nHost: real\r\n\r\n", "host"));
  EXPECT_EQ("", TOstrel::GetRequestField("GET /Host:fake HTTP/1.1\r\n\r\n", "Host"));
}

// The value the dispatch and the gateway read: the request line's parts, and
// the header lines in their order with their names as sent.
TEST(RequestField, TheRequestValueKeepsTheLinesPartsAndTheHeadersInOrder) {
  const TRequest request("post /a%20b?x=1 HTTP/1.0\r\nHost: h\r\n Spaced : v \r\nNo colon\r\nHost: second\r\n\r\n");
  EXPECT_EQ(request.Method(), "post");
  EXPECT_TRUE(request.MethodIs("POST"));
  EXPECT_FALSE(request.MethodIs("GET"));
  EXPECT_EQ(request.Target(), "/a%20b?x=1");
  EXPECT_EQ(request.Path(), "/a%20b");
  EXPECT_EQ(request.Url(), "/a b");
  EXPECT_EQ(request.Query(), "x=1");
  EXPECT_EQ(request.Version(), "HTTP/1.0");
  ASSERT_EQ(request.Headers().size(), 3u);
  EXPECT_EQ(request.Headers()[1].Name, " Spaced ");
  EXPECT_EQ(request.Headers()[1].Value, "v");
  EXPECT_EQ(request.Headers()[2].Value, "second");
  EXPECT_EQ(request.Header("HOST"), "h");
  EXPECT_EQ(TRequest("GET /no-version\r\n\r\n").Version(), "");
}

// Heads the dispatch refuses unanswered, and near misses it must still serve.
TEST(RequestField, MalformedHeadsAreTold) {
  const std::pair<std::string, bool> cases[] = {
      {"GET /a.txt HTTP/1.1\r\nHost: h\r\n\r\n", false},
      {"get   /a.txt   http/1.0\r\n\r\n", false},
      {"GET /a?text=one%0D%0Atwo%09three HTTP/1.1\r\n\r\n", false},  // a form's multi-line text
      {"GET /caf%C3%A9%7E HTTP/1.1\r\n\r\n", false},
      {"GET /a HTTP/1.1\r\nHost:\th\r\n\r\n", false},
      {"GET /a%%41 HTTP/1.1\r\n\r\n", false},
      {"GET /a/b/c.txt%00 HTTP/1.1\r\n\r\n", true},
      {"GET /a?x=%00 HTTP/1.1\r\n\r\n", true},
      {"GET /a%0d%0aX: 1 HTTP/1.1\r\n\r\n", true},
      {"GET /a%1F HTTP/1.1\r\n\r\n", true},
      {"GET /a%7f HTTP/1.1\r\n\r\n", true},
      {std::string("GET /a\0b HTTP/1.1\r\n\r\n", 21), true},
      {"GET /a?x=\ry HTTP/1.1\r\n\r\n", true},
      {"GET /a?x=\ny HTTP/1.1\r\n\r\n", true},
      {"GET\t/a HTTP/1.1\r\n\r\n", true},
      {"GET /a HTTP/1.1\x7f\r\n\r\n", true},
      {"GET /a?x\r\nHost: h\r\n\r\n", true},  // no version: the headers would join the query
      {"GET /a HTTP\r\n\r\n", true},
      {"GET /a HTTP/1.\r\n\r\n", true},
      {"GET /a b HTTP/1.1\r\n\r\n", true},
      {"GET /a HTTP/1.1 x\r\n\r\n", true},
      {"GET\r\n\r\n", true},
      {"GET /a HTTP/1.1\r\nHost: h\r\n X-Folded: 1\r\n\r\n", true},
      {"GET /a HTTP/1.1\r\n\tHost: h\r\n\r\n", true},
  };
  for (const auto& [head, malformed] : cases) EXPECT_EQ(malformed, TRequest(head).Malformed()) << head;
}

TEST(RequestField, HeaderValueOfAnInterpreterHeaderBlock) {
  const std::string block = "Status: 302 Found\r\nLocation: /next.php\r\nContent-type: text/html";
  EXPECT_EQ("302 Found", TOstrel::GetHeaderValue(block, "status"));
  EXPECT_EQ("/next.php", TOstrel::GetHeaderValue(block, "Location"));
  EXPECT_EQ("text/html", TOstrel::GetHeaderValue(block, "Content-Type"));
  EXPECT_EQ("", TOstrel::GetHeaderValue("", "Status"));
  EXPECT_EQ("", TOstrel::GetHeaderValue("\r\n\r\n", "Status"));
}

TEST(RequestField, HeaderLookupTakesTimeInProportionToTheText) {
  // Many short lines without a colon: the lookup must walk the text once, not
  // once for each line, which here would cost half a minute of CPU and more
  // however fast the search; once takes well under a second, sanitizers included.
  // Measured in CPU time, which a loaded machine does not stretch.
  std::string block;
  while (block.size() < 2 * 1024 * 1024) block += "a\r\n";
  block += "Status: 200\r\n";
  const double before = ProcessCpuSeconds();
  EXPECT_EQ("200", TOstrel::GetHeaderValue(block, "Status"));
  EXPECT_EQ("", TOstrel::GetHeaderValue(block, "Location"));
  EXPECT_LT(ProcessCpuSeconds() - before, 10.0);
}

}  // namespace
