// interpreter_check_tests.cpp - which interpreter Start takes: the version line
// of each kind of build, the -v run against the stand-in and the system's PHP
// programs, and a refused command-line build behind the real server. The
// private network of these tests is entered by gateway_tests.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <memory>

#include "base/program_env.h"
#include "gateway/gateway_site.h"
#include "gateway/test_host.h"
#include "gateway/test_server.h"
#include "http/interpreter_check.h"
#include "http/web_server.h"
#include "support/loopback_client.h"
#include "support/server_harness.h"
#include "support/temp_dir.h"

namespace {

// The stand-in as file, answering -v as build ("" for its default, cgi-fcgi).
std::string PlaceStandIn(const std::string& file, const std::string& build) {
  std::filesystem::copy_file(EchoProgramPath(), file, std::filesystem::copy_options::overwrite_existing);
  if (!build.empty()) Spill(file + ".version", build);
  return file;
}

bool WaitNoChildren() {
  for (int waited = 0; waited < 5000; waited += 20) {
    if (ChildProcessCount() <= 0) return true;
    SleepMs(20);
  }
  return false;
}

}  // namespace

TEST(InterpreterVersionLine, OnlyACgiBuildIsTaken) {
  const struct {
    const char* Output;
    TInterpreterKind Kind;
  } cases[] = {
      {"PHP 8.2.7 (cgi-fcgi) (built: Jun  6 2023 21:28:56)\nCopyright (c) The PHP Group\n", TInterpreterKind::Cgi},
      {"PHP 5.2.17 (cgi) (built: Jan  6 2011 17:26:08)\r\nCopyright (c) 1997-2010 The PHP Group\r\n",
       TInterpreterKind::Cgi},
      {"PHP Warning:  PHP Startup: Unable to load dynamic library 'gd'\nPHP 8.2.7 (cgi-fcgi) (built: x)\n",
       TInterpreterKind::Cgi},
      {"PHP 8.2.7 (cli) (built: Jun  6 2023 21:28:56) (NTS)\nCopyright (c) The PHP Group\n",
       TInterpreterKind::CommandLine},
      {"PHP 8.3.0 (cli)", TInterpreterKind::CommandLine},
      {"PHP Warning:  Module (cgi) in Unknown\nPHP 8.3.0 (cli) (built: x)\r\n", TInterpreterKind::CommandLine},
      {"PHP 8.2.7 (phpdbg) (built: Jun  6 2023 21:28:56)\n", TInterpreterKind::NotCgi},
      // php-cgi started in CGI mode runs an empty page instead of answering -v.
      {"X-Powered-By: PHP/8.2.7\r\nContent-type: text/html; charset=UTF-8\r\n\r\n", TInterpreterKind::NotCgi},
      {"Copyright PHP 8 (cgi-fcgi)\n", TInterpreterKind::NotCgi},
      {"", TInterpreterKind::NotCgi},
  };
  for (const auto& c : cases) EXPECT_EQ(KindOfVersionOutput(c.Output), c.Kind) << c.Output;
}

TEST(InterpreterVersionQuery, EachAnswerOfTheStandIn) {
  TTempDir dir("ostrel-version");
  const struct {
    const char* Build;
    TInterpreterKind Kind;
  } cases[] = {
      {"", TInterpreterKind::Cgi},
      {"cgi", TInterpreterKind::Cgi},
      {"cli", TInterpreterKind::CommandLine},
      {"phpdbg", TInterpreterKind::NotCgi},
      {"silent", TInterpreterKind::NotCgi},
      {"forever", TInterpreterKind::NotCgi},  // ended at the time limit
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string program = PlaceStandIn(dir.At("php" + std::to_string(n++) + kExeSuffix), c.Build);
    TInterpreterCheck check = CheckInterpreter(program);
    EXPECT_EQ(check.Kind, c.Kind) << c.Build;
    EXPECT_EQ(check.Path, program);
    EXPECT_TRUE(WaitNoChildren()) << c.Build;
  }
  EXPECT_EQ(CheckInterpreter("").Kind, TInterpreterKind::Missing);
  EXPECT_EQ(CheckInterpreter(dir.At("none")).Kind, TInterpreterKind::NotCgi);
}

#ifndef _WIN32
TEST(InterpreterVersionQuery, DebianPhpPrograms) {
  for (const char* program : {"/usr/bin/php-cgi", "/usr/bin/php"})
    if (!std::filesystem::exists(program)) GTEST_SKIP() << program << " is not installed";
  EXPECT_EQ(CheckInterpreter("/usr/bin/php-cgi").Kind, TInterpreterKind::Cgi);
  EXPECT_EQ(CheckInterpreter("/usr/bin/php").Kind, TInterpreterKind::CommandLine);
  EXPECT_TRUE(WaitNoChildren());
}
#endif

namespace {

// The real server over an application directory with a page, a file and
// whatever the test puts in the interpreter's place.
class InterpreterChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App.Write("www/page.php", R"(<?php /* mode=status404 */ http_response_code(404); echo "missing";)");
    App.Write("www/a.txt", "static");
    App.Write("php/php.ini", kGatewayPhpIni);
    OverrideAppDir(App.Path());
  }
  void TearDown() override {
    Server.reset();
    OverrideAppDir("");
  }

  std::string Php(const std::string& name) { return App.At("php/" + name); }

  void StartServer() {
    Port = GatewayTestPort();
    Server = std::make_unique<TWebServer>();
    ASSERT_TRUE(StartOnTestPort(*Server, Port));
  }

  // What the server answers; "" for a close without a reply. Fails the test
  // when the connection is still open after 20 s.
  std::string Fetch(const std::string& request) {
    TLoopbackClient client;
    EXPECT_TRUE(client.Connect(Port));
    EXPECT_TRUE(client.Send(request));
    std::string reply;
    EXPECT_TRUE(client.ReadToEnd(reply, 20000)) << request;
    return reply;
  }

  // True when the server closes the connection without a word within 20 s.
  bool ClosedUnanswered(const std::string& request) {
    TLoopbackClient client;
    std::string reply;
    return client.Connect(Port) && client.Send(request) && client.ReadToEnd(reply, 20000) && reply.empty();
  }

  // A refused interpreter: every page is closed unanswered, a POST too (a
  // command-line PHP would wait for the end of its input), and nothing starts.
  void ExpectPagesRefused() {
    EXPECT_EQ(Server->Interpreter().Kind, TInterpreterKind::CommandLine);
    int refused = 0;
    while (refused < 20 && ClosedUnanswered("GET /page.php HTTP/1.1\r\n\r\n")) ++refused;
    EXPECT_EQ(refused, 20);
    EXPECT_TRUE(ClosedUnanswered("POST /page.php HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello"));
    EXPECT_TRUE(ClosedUnanswered("POST /page.php HTTP/1.1\r\nContent-Length: 100000\r\n\r\nhel"));
    EXPECT_NE(Fetch("GET /a.txt HTTP/1.1\r\n\r\n").find("\r\n\r\nstatic"), std::string::npos);
    EXPECT_EQ(ChildProcessCount(), 0);
  }

  TTempDir App{"ostrel-interpreter"};
  std::unique_ptr<TWebServer> Server;
  int Port = 0;
};

}  // namespace

#ifdef _WIN32
TEST_F(InterpreterChoiceTest, PhpCgiExeIsChosenOverPhpExe) {
  PlaceStandIn(Php("php.exe"), "cli");
  PlaceStandIn(Php("php-cgi.exe"), "");
  StartServer();
  EXPECT_EQ(Server->Interpreter().Kind, TInterpreterKind::Cgi);
  std::string name = std::filesystem::path(Server->Interpreter().Path).filename().string();
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  EXPECT_EQ(name, "php-cgi.exe");
  EXPECT_EQ(Fetch("GET /page.php HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u);
}

TEST_F(InterpreterChoiceTest, CommandLinePhpExeAloneIsRefused) {
  PlaceStandIn(Php("php.exe"), "cli");
  StartServer();
  ExpectPagesRefused();
}
#else
TEST_F(InterpreterChoiceTest, DebianCommandLinePhpIsRefused) {
  if (!std::filesystem::exists("/usr/bin/php")) GTEST_SKIP() << "php (php-cli) is not installed";
  std::filesystem::create_symlink("/usr/bin/php", Php("php-cgi"));
  StartServer();
  ExpectPagesRefused();
}

TEST_F(InterpreterChoiceTest, CommandLineStandInIsRefused) {
  PlaceStandIn(Php("php-cgi"), "cli");
  StartServer();
  ExpectPagesRefused();
}
#endif

// The check runs beside Start, not in it: the window's thread that starts the
// server is not held for up to the check's time limit, and files are served at
// once; a page waits for the verdict.
TEST_F(InterpreterChoiceTest, StartDoesNotWaitForTheCheck) {
  PlaceStandIn(Php(std::string("php-cgi") + kExeSuffix), "forever");
  const auto start = std::chrono::steady_clock::now();
  StartServer();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kVersionQueryLimitMs / 2));
  EXPECT_NE(Fetch("GET /a.txt HTTP/1.1\r\n\r\n").find("\r\n\r\nstatic"), std::string::npos);
  EXPECT_TRUE(ClosedUnanswered("GET /page.php HTTP/1.1\r\n\r\n"));
  EXPECT_EQ(Server->Interpreter().Kind, TInterpreterKind::NotCgi);
  EXPECT_TRUE(WaitNoChildren());
}

TEST_F(InterpreterChoiceTest, NoInterpreterAtAll) {
  StartServer();
  EXPECT_EQ(Server->Interpreter().Kind, TInterpreterKind::Missing);
  EXPECT_EQ(Fetch("GET /page.php HTTP/1.1\r\n\r\n"), "");
}
