// gateway_tests.cpp - pages run through the real web server and interpreter:
// the Debian php-cgi on Linux, and the stand-in CGI program on both builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <thread>

#include "base/program_env.h"
#include "gateway/gateway_site.h"
#include "gateway/test_host.h"
#include "gateway/test_server.h"
#include "http/cgi_env.h"
#include "http/cgi_relay.h"
#include "http/web_server.h"
#include "net/local_ip.h"
#include "support/cpu_time.h"
#include "support/loopback_client.h"
#include "support/server_harness.h"
#include "support/temp_dir.h"

namespace {

#ifdef _WIN32
const char* const kInterpreterName = "php.exe";
#else
const char* const kInterpreterName = "php-cgi";
#endif

// Made before any thread exists: the private network must cover the server's.
const bool kPrivateNetwork = EnterPrivateNetwork();

const std::string kServerLines = "Server: Ovrin\r\nConnection: close\r\n";

std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + i / 4099) & 0xff);
  return s;
}

std::string BigPageOutput() {
  std::string piece;
  for (int i = 0; i < 4096; ++i) piece += "0123456789abcdef";
  std::string all;
  for (int i = 0; i < 128; ++i) all += piece;
  return all;
}

std::string Post(const std::string& page, const std::string& length, const std::string& extra = "") {
  return "POST " + page + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/octet-stream\r\n" +
         (length.empty() ? "" : "Content-Length: " + length + "\r\n") + extra + "\r\n";
}

// The body of a reply after the interpreter's header block.
std::string BodyOf(const std::string& reply) {
  std::size_t blank = reply.find("\r\n\r\n");
  return blank == std::string::npos ? std::string() : reply.substr(blank + 4);
}

class GatewayTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    App.MakeDir("www/sub");
    App.MakeDir("php");
    for (const TGatewayPage& page : kGatewayPages) App.Write(std::string("www/") + page.Name, page.Text);
    App.Write("php/php.ini", kGatewayPhpIni);
    const std::filesystem::path interpreter = App.At(std::string("php/") + kInterpreterName);
    if (GetParam() == "php-cgi") {
      if (!std::filesystem::exists("/usr/bin/php-cgi")) GTEST_SKIP() << "php-cgi is not installed";
      std::filesystem::create_symlink("/usr/bin/php-cgi", interpreter);
    } else {
      std::filesystem::copy_file(EchoProgramPath(), interpreter);
    }
    OverrideAppDir(App.Path());
    Port = GatewayTestPort();
    Server = std::make_unique<TWebServer>();
    ASSERT_TRUE(StartOnTestPort(*Server, Port));
  }

  void TearDown() override {
    Server.reset();
    OverrideAppDir("");
  }

  // Given reset, the reply may end in one, within 15 s, and reset says whether it did.
  std::string Fetch(const std::string& request, int timeoutMs = 20000, bool* reset = nullptr) {
    TLoopbackClient client;
    EXPECT_TRUE(client.Connect(Port));
    EXPECT_TRUE(client.Send(request));
    std::string reply;
    const auto started = std::chrono::steady_clock::now();
    const bool ended = client.ReadToEnd(reply, timeoutMs);
    if (reset != nullptr) *reset = client.WasReset();
    EXPECT_TRUE(reset != nullptr ? ElapsedMs(started) < 15000 : ended) << "the reply did not end in time";
    return reply;
  }

  // Sends the body from a thread of its own while the reply is read, as a
  // browser does; returns the reply.
  std::string Exchange(const std::string& head, const std::string& body) {
    TLoopbackClient client;
    EXPECT_TRUE(client.Connect(Port));
    std::atomic<bool> sent{false};
    std::thread sender([&] { sent = client.Send(head) && client.Send(body); });
    std::string reply;
    EXPECT_TRUE(client.ReadToEnd(reply, 120000));
    sender.join();
    EXPECT_TRUE(sent);
    return reply;
  }

  bool WaitNoChildren(int timeoutMs = 5000) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
      if (ChildProcessCount() <= 0) return true;
      SleepMs(20);
    }
    return false;
  }

  std::string Native(const std::string& relative) { return App.At(relative); }

  // The variables the gateway builds for a request of env.php from this
  // machine, which the page must get whole and in their order, before
  // anything of the platform's.
  std::vector<std::string> Built(const std::string& head) {
    return cgi_env::Build(TRequest(head),
                          {Native("www"), Native("www/env.php"), "127.0.0.1", GetLocalIP(), "127.0.0.1"});
  }
  static std::vector<std::string> FirstOf(const TEnvDump& env, std::size_t n) {
    return std::vector<std::string>(env.Entries.begin(), env.Entries.begin() + static_cast<long>(std::min(n, env.Entries.size())));
  }

  // Requests the page that never ends and waits until it runs.
  bool StartForeverPage(TLoopbackClient& client, const char* from = "") {
    if (!client.Connect(Port, 0, from) || !client.Send("GET /forever.php HTTP/1.1\r\n\r\n")) return false;
    std::string reply;
    for (int i = 0; i < 100 && reply.find("started\n") == std::string::npos; ++i) client.Receive(reply, 200);
    return reply.find("started\n") != std::string::npos;
  }

  TTempDir App{"gateway"};
  std::unique_ptr<TWebServer> Server;
  int Port = 0;
};

}  // namespace

TEST_P(GatewayTest, GetWithQueryGivesTheTableInOrder) {
  const std::string head =
      "GET /env.php?a=1&b=%41 HTTP/1.1\r\nHost: example.test:8080\r\nCookie: id=7\r\nAccept: */*\r\n"
      "User-Agent: gateway-test\r\nReferer: http://example.test/from\r\nProxy: http://evil.test:3128\r\n"
      "Authorization: Basic eDp5\r\nRange: bytes=0-9\r\n\r\n";
  std::string reply = Fetch(head);
  ASSERT_EQ(reply.rfind("HTTP/1.1 200 OK\r\n" + kServerLines, 0), 0u) << reply.substr(0, 300);
  TEnvDump env = ParseEnvDump(reply);
  ASSERT_TRUE(env.Valid) << reply.substr(0, 300);
  const std::vector<std::string> table = Built(head);
  EXPECT_EQ(FirstOf(env, table.size()), table);
  EXPECT_EQ(env.Values["REQUEST_METHOD"], "GET");
  EXPECT_EQ(env.Values["QUERY_STRING"], "a=1&b=%41");
  EXPECT_EQ(env.Values["PATH_INFO"], "/env.php");
  EXPECT_EQ(env.Values["PATH_TRANSLATED"], Native("www/env.php"));
  EXPECT_EQ(env.Values["APPL_PHYSICAL_PATH"], Native("www") + PathDelim());
  EXPECT_EQ(env.Values["SERVER_NAME"], "example.test");
  EXPECT_EQ(env.Values["SERVER_PORT"], "8080");
  EXPECT_EQ(env.Values["REMOTE_ADDR"], "127.0.0.1");
  EXPECT_EQ(env.Values["HTTP_COOKIE"], "id=7");
  EXPECT_EQ(env.Values["CONTENT_LENGTH"], "0");
  EXPECT_EQ(env.Values["ALL_RAW"],
            "Accept: */*\r\nAccept-Language: \r\nConnection: \r\nHost: example.test:8080\r\n"
            "User-Agent: gateway-test\r\nCookie: id=7\r\nAccept-Encoding: \r\n");
  EXPECT_EQ(env.Input, "");
  EXPECT_EQ(env.Values["DOCUMENT_ROOT"], Native("www"));
  EXPECT_EQ(env.Values["REQUEST_URI"], "/env.php?a=1&b=%41");
  EXPECT_EQ(env.Values["SERVER_ADDR"], "127.0.0.1");
  EXPECT_EQ(env.Values["HTTP_REFERER"], "http://example.test/from");
  EXPECT_EQ(env.Values["HTTP_RANGE"], "bytes=0-9");
  for (const char* never : {"HTTP_PROXY", "HTTP_AUTHORIZATION"}) EXPECT_EQ(env.Values.count(never), 0u) << never;
  // The written configuration (not the system's php.ini) and the user's own
  // settings in php/conf.d.
  const std::string phpDir = Native("php");
#ifdef _WIN32
  // The interpreter's folder in its short form, as the interpreter is named.
  const std::string phprc = env.Values["PHPRC"];
  EXPECT_EQ(phprc.substr(phprc.size() < 4 ? 0 : phprc.size() - 4), "\\php");
  EXPECT_EQ(env.Values["PHP_INI_SCAN_DIR"], phprc + "\\conf.d");
#else
  EXPECT_EQ(env.Values["PHPRC"], phpDir);
  // After the system's own scan directory (the empty first entry).
  ASSERT_GE(env.Names.size(), table.size() + 4);
  EXPECT_EQ(env.Names[table.size()], "PHPRC");
  EXPECT_EQ(env.Names[table.size() + 1], "PHP_INI_SCAN_DIR");
  EXPECT_EQ(env.Values["PHP_INI_SCAN_DIR"], ":" + phpDir + "/conf.d");
  EXPECT_EQ(env.Values.count("PATH"), 1u);
#endif
}

TEST_P(GatewayTest, PostBodyOf10000BytesReachesThePageWhole) {
  const std::string body = Pattern(10000);
  const std::string head = Post("/env.php", "10000", "Cookie: id=7\r\n");
  std::string reply = Exchange(head, body);
  TEnvDump env = ParseEnvDump(reply);
  ASSERT_TRUE(env.Valid) << reply.substr(0, 300);
  EXPECT_EQ(FirstOf(env, Built(head).size()), Built(head));
  EXPECT_EQ(env.Values["CONTENT_LENGTH"], "10000");
  EXPECT_EQ(env.Values["HTTP_CONTENT_LENGTH"], "10000");
  EXPECT_EQ(env.Values["CONTENT_TYPE"], "application/octet-stream");
  EXPECT_EQ(env.Values["HTTP_CACHE_CONTROL"], "no-cache");
  EXPECT_EQ(env.Values["HTTP_COOKIE"], "id=7");
  EXPECT_TRUE(env.Input == body) << "input of " << env.Input.size() << " bytes differs";
}

TEST_P(GatewayTest, LowerCasePostKeepsItsMethodAndForwardsItsBody) {
  std::string head = Post("/env.php", "5");
  head.replace(0, 4, "post");
  TEnvDump env = ParseEnvDump(Exchange(head, "hello"));
  ASSERT_TRUE(env.Valid);
  EXPECT_EQ(env.Values["REQUEST_METHOD"], "post");
  EXPECT_EQ(env.Values["HTTP_CONTENT_LENGTH"], "5");
  EXPECT_EQ(env.Input, "hello");
  // No body to wait for: the page starts at once.
  env = ParseEnvDump(Exchange(Post("/env.php", "0"), ""));
  ASSERT_TRUE(env.Valid);
  EXPECT_EQ(env.Values["CONTENT_LENGTH"], "0");
}

TEST_P(GatewayTest, GetAfterPostSeesNoneOfThePostVariables) {
  ASSERT_TRUE(ParseEnvDump(Exchange(Post("/env.php", "5"), "hello")).Valid);
  TEnvDump env = ParseEnvDump(Fetch("GET /env.php HTTP/1.1\r\nHost: h\r\n\r\n"));
  ASSERT_TRUE(env.Valid);
  for (const char* name : {"HTTP_CONTENT_LENGTH", "HTTP_CONTENT_TYPE", "HTTP_CACHE_CONTROL"})
    EXPECT_EQ(env.Values.count(name), 0u) << name;
  EXPECT_EQ(env.Values["CONTENT_LENGTH"], "0");
  EXPECT_EQ(env.Values["CONTENT_TYPE"], "");
}

TEST_P(GatewayTest, StatusHeaderBecomesTheStatusLine) {
  std::string reply = Fetch("GET /status.php HTTP/1.1\r\n\r\n");
  EXPECT_EQ(reply.rfind("HTTP/1.1 404 Not Found\r\n" + kServerLines + "Status: 404 Not Found\r\n", 0), 0u) << reply;
  EXPECT_EQ(BodyOf(reply), "missing");
}

// The interpreter's errors share the pipe of its output: output that is not
// a header block (here PHP's hard time-out message, with the page's path) is
// refused whole, and a page that fails after its head is cut off by a reset.
TEST_P(GatewayTest, NoErrorTextReachesTheClient) {
  EXPECT_EQ(Fetch("GET /nohead.php HTTP/1.1\r\n\r\n"), kCgiBadGatewayReply);
  EXPECT_EQ(Fetch("GET /terminated.php HTTP/1.1\r\n\r\n", 60000), kCgiBadGatewayReply);
  bool reset = false;
  const std::string reply = Fetch("GET /diesmid.php HTTP/1.1\r\n\r\n", 20000, &reset);
  EXPECT_TRUE(reset) << "the reply ended as if whole: " << reply;
  EXPECT_EQ(reply.find("rror"), std::string::npos) << reply;
  EXPECT_TRUE(WaitNoChildren());
}

TEST_P(GatewayTest, DirectoryWithTrailingSlashRunsItsIndexPage) {
  TEnvDump env = ParseEnvDump(Fetch("GET /sub/ HTTP/1.1\r\n\r\n"));
  ASSERT_TRUE(env.Valid);
  EXPECT_EQ(env.Values["PATH_INFO"], "/sub/");
  EXPECT_EQ(env.Values["SCRIPT_NAME"], "/sub/");
  EXPECT_EQ(env.Values["URL"], "/sub/");
  EXPECT_EQ(env.Values["PATH_TRANSLATED"], Native("www/sub/index.php"));
}

TEST_P(GatewayTest, PhpIniBesideThePageIsDeletedFirst) {
  App.Write("www/php.ini", "[PHP]\r\nauto_prepend_file = /nonexistent\r\n");
  EXPECT_EQ(BodyOf(Fetch("GET /ini.php HTTP/1.1\r\n\r\n")), "ini=no");
  EXPECT_FALSE(std::filesystem::exists(App.At("www/php.ini")));
}

TEST_P(GatewayTest, PostWithoutAUsableLengthFailsUnanswered) {
  for (const char* length : {"", "-5", "abc", "12x"}) {
    TLoopbackClient client;
    ASSERT_TRUE(client.Connect(Port));
    ASSERT_TRUE(client.Send(Post("/env.php", length) + "hello"));
    std::string reply;
    EXPECT_TRUE(client.ReadToEnd(reply, 10000)) << length;
    EXPECT_EQ(reply, "") << length;
  }
  EXPECT_TRUE(WaitNoChildren());
}

TEST_P(GatewayTest, PageThatIgnoresA10MiBBodyAndPrints8MiB) {
  const std::string body = Pattern(10 * 1024 * 1024);
  std::string reply = Exchange(Post("/big.php", std::to_string(body.size())), body);
  EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK\r\n" + kServerLines, 0), 0u);
  EXPECT_TRUE(BodyOf(reply) == BigPageOutput()) << "body of " << BodyOf(reply).size() << " bytes differs";
}

TEST_P(GatewayTest, PageThatEchoesA10MiBBodyAsItReadsIt) {
  const std::string body = Pattern(10 * 1024 * 1024);
  std::string reply = Exchange(Post("/echo.php", std::to_string(body.size())), body);
  EXPECT_TRUE(BodyOf(reply) == body) << "echo of " << BodyOf(reply).size() << " bytes differs";
}

TEST_P(GatewayTest, ClientGoneMidBodyEndsTheInterpreter) {
  {
    TLoopbackClient client;
    ASSERT_TRUE(client.Connect(Port));
    ASSERT_TRUE(client.Send(Post("/echo.php", "1000000") + Pattern(5000)));
    std::string some;
    client.Receive(some, 1000);  // the stand-in answers at once; php-cgi waits for its first 8 KiB
  }
  EXPECT_TRUE(WaitNoChildren());
  EXPECT_EQ(BodyOf(Fetch("GET /status.php HTTP/1.1\r\n\r\n")), "missing");
}

TEST_P(GatewayTest, StopEndsAPageThatNeverEnds) {
  TLoopbackClient client;
  ASSERT_TRUE(StartForeverPage(client));
  // The page never ends by itself: unless Stop ends it, its connection's
  // thread outlives the wait and the server stays active.
  EXPECT_FALSE(Server->Stop());
  EXPECT_TRUE(WaitNoChildren());
}

// A page that would run for ever ends with its client, though it writes nothing
// more that could fail; the server goes on serving.
TEST_P(GatewayTest, ClientThatLeavesEndsItsPage) {
  {
    TLoopbackClient client;
    ASSERT_TRUE(StartForeverPage(client));
  }
  // The page never ends by itself: only the client's leaving can end it.
  EXPECT_TRUE(WaitNoChildren(kPatienceMs));
  EXPECT_EQ(BodyOf(Fetch("GET /status.php HTTP/1.1\r\n\r\n")), "missing");
}

// An interpreter starts only once its body begins: clients that announce one
// and send nothing hold none.
TEST_P(GatewayTest, ClientsThatOnlyAnnounceABodyHoldNoInterpreter) {
  constexpr int kClients = 200;
  std::vector<std::unique_ptr<TLoopbackClient>> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(std::make_unique<TLoopbackClient>());
    ASSERT_TRUE(clients.back()->Connect(Port)) << i;
    ASSERT_TRUE(clients.back()->Send(Post("/echo.php", "5")));
  }
  SleepMs(1000);  // time to read every head and, before, to start 200 interpreters
  EXPECT_EQ(ChildProcessCount(), 0);
  ASSERT_TRUE(clients.front()->Send("hello"));
  std::string reply;
  EXPECT_TRUE(clients.front()->ReadToEnd(reply, 20000));
  EXPECT_EQ(BodyOf(reply), "hello");
  clients.clear();
  EXPECT_TRUE(WaitNoChildren());
}

// What a run ended hard left in php/temp goes at the next Start; sessions, the
// error log, a user's own files, and files of this run (written after the
// program started) stay.
TEST_P(GatewayTest, StartRemovesTheInterpretersLeftoversFromPhpTemp) {
  App.MakeDir("php/temp");
  for (const char* name : {"phpAbC123", "php1A2.tmp", "sess_4f2a", "php_errors.log", "phpinfo.txt", "notes", "phptest"}) {
    const std::filesystem::path file = App.Write(std::string("php/temp/") + name, "x");
    std::filesystem::last_write_time(file, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  }
  App.Write("php/temp/phpNew123", "x");  // as a page of this run writes it
  Server->Start(Port);
  ASSERT_TRUE(Server->Active());
  std::set<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(App.At("php/temp")))
    left.insert(entry.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"sess_4f2a", "php_errors.log", "phpinfo.txt", "notes", "phptest", "phpNew123"}));
}

// The interpreter of an upload whose client went away gets the end of its
// input and removes its own temporary file.
TEST_P(GatewayTest, UploadsCutOffHalfWayLeavePhpTempAsItWas) {
  if (GetParam() != "php-cgi") GTEST_SKIP() << "the real interpreter's temporary files";
  App.MakeDir("php/temp");
  App.Write("php/php.ini", "[PHP]\r\ncgi.force_redirect = 0\r\ndisplay_errors = Off\r\npost_max_size = 0\r\n"
                           "upload_max_filesize = 0\r\nupload_tmp_dir = " + Native("php/temp") + "\r\n");
  App.Write("www/upload.php", "<?php echo count($_FILES);");
  const std::filesystem::path temp = App.At("php/temp");
  const auto count = [&temp] {
    return std::distance(std::filesystem::directory_iterator(temp), std::filesystem::directory_iterator());
  };
  const std::string part = "--XyZ\r\nContent-Disposition: form-data; name=\"f\"; filename=\"a.bin\"\r\n\r\n";
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(WaitNoChildren());
    EXPECT_EQ(count(), 0) << "left by upload " << i - 1;
    TLoopbackClient client;
    ASSERT_TRUE(client.Connect(Port));
    ASSERT_TRUE(client.Send("POST /upload.php HTTP/1.1\r\nHost: h\r\nContent-Type: multipart/form-data; "
                            "boundary=XyZ\r\nContent-Length: 4000000\r\n\r\n" + part + Pattern(2000000)));
    for (int waited = 0; waited < 5000 && count() == 0; waited += 10) SleepMs(10);
    EXPECT_EQ(count(), 1) << "the interpreter's temporary file, " << i;
  }
  EXPECT_TRUE(WaitNoChildren());
  EXPECT_EQ(count(), 0);
}

// A visitor's page requests past its share of interpreters are closed
// unanswered; while all places are held, a request waits its turn and is
// closed unanswered when none comes in time; the host's own pages are never
// held back.
TEST_P(GatewayTest, VisitorsShareTheInterpreters) {
  Server->MaxInterpretersPerVisitor = 2;
  Server->MaxInterpreters = 3;
  Server->InterpreterWaitMs = 4000;
  Server->Start(Port);
  ASSERT_TRUE(Server->Active());
  const std::string page = "GET /status.php HTTP/1.1\r\n\r\n";
  auto fetchFrom = [&](const char* from) {
    TLoopbackClient client;
    std::string reply;
    EXPECT_TRUE(client.Connect(Port, 0, from) && client.Send(page) && client.ReadToEnd(reply, 20000));
    return reply;
  };
  TLoopbackClient first, second, other, host;
  ASSERT_TRUE(StartForeverPage(first, "127.0.0.2"));
  ASSERT_TRUE(StartForeverPage(second, "127.0.0.2"));
  EXPECT_EQ(fetchFrom("127.0.0.2"), "");
  ASSERT_TRUE(StartForeverPage(other, "127.0.0.3"));
  ASSERT_TRUE(StartForeverPage(host));
  const auto since = std::chrono::steady_clock::now();
  EXPECT_EQ(fetchFrom("127.0.0.3"), "");
  EXPECT_GE(ElapsedMs(since), 3900) << "closed before its wait was up";
  // A place that comes free goes to the request that waits.
  TLoopbackClient waiting;
  ASSERT_TRUE(waiting.Connect(Port, 0, "127.0.0.3") && waiting.Send(page));
  SleepMs(200);
  first.Close();
  std::string reply;
  EXPECT_TRUE(waiting.ReadToEnd(reply, 20000));
  EXPECT_EQ(BodyOf(reply), "missing");
}

// A reply whose client takes nothing is ended after the write time-out, and
// the page's interpreter with it.
TEST_P(GatewayTest, PageWhoseClientTakesNothingEndsWithItsInterpreter) {
  Server->WriteTimeoutMs = 500;
  Server->Start(Port);
  ASSERT_TRUE(Server->Active());
  TLoopbackClient client;
  ASSERT_TRUE(client.Connect(Port, 4096) && client.Send("GET /big.php HTTP/1.1\r\n\r\n"));
  SleepMs(500);
  EXPECT_TRUE(WaitNoChildren(20000)) << "the page of a client that reads nothing still runs";
  std::string got;
  client.ReadToEnd(got, 20000);
  EXPECT_LT(got.size(), BigPageOutput().size());
}

TEST_P(GatewayTest, WaitingForAPageKeepsNoCoreBusy) {
  const double before = ProcessCpuSeconds();
  EXPECT_EQ(BodyOf(Fetch("GET /sleep.php HTTP/1.1\r\n\r\n")), "awake");
  EXPECT_LT(ProcessCpuSeconds() - before, 0.15);
}

TEST_P(GatewayTest, ConcurrentRunsEachSeeTheirOwnRequest) {
  constexpr int kClients = 8;
  std::string queries[kClients];
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i)
    clients.emplace_back([this, i, &queries] {
      queries[i] = ParseEnvDump(Fetch("GET /env.php?n=" + std::to_string(i) + " HTTP/1.1\r\n\r\n"))
                       .Values["QUERY_STRING"];
    });
  for (auto& t : clients) t.join();
  for (int i = 0; i < kClients; ++i) EXPECT_EQ(queries[i], "n=" + std::to_string(i));
}

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(Interpreters, GatewayTest, ::testing::Values("cgi_echo"));
#else
INSTANTIATE_TEST_SUITE_P(Interpreters, GatewayTest, ::testing::Values("php-cgi", "cgi_echo"),
                         [](const auto& param) { return param.param == "php-cgi" ? "PhpCgi" : "CgiEcho"; });
#endif
