// cgi_echo.cpp - a tiny CGI program that stands in for the PHP interpreter in
// the gateway tests (the Windows build has no interpreter of its own). It reads
// "mode=<word>" from the page named by PATH_TRANSLATED and behaves so: prints
// its environment and input, a 404, output without an empty line, 8 MiB,
// an echo of its input, never ends, PHP's time-out (124) or a failure mid-page (255). Asked "-v", it answers as the build
// that the file <its own path>.version names ("cli", "cgi", ...; "cgi-fcgi"
// when there is none), prints nothing ("silent") or never ends ("forever").
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
extern char** environ;
#endif

namespace {

#ifdef _WIN32
int ReadIn(char* buffer, unsigned n) { return _read(0, buffer, n); }
int WriteOut(const char* data, unsigned n) { return _write(1, data, n); }
void WriteErr(const std::string& s) { _write(2, s.data(), static_cast<unsigned>(s.size())); }
#else
int ReadIn(char* buffer, unsigned n) { return static_cast<int>(::read(0, buffer, n)); }
int WriteOut(const char* data, unsigned n) { return static_cast<int>(::write(1, data, n)); }
void WriteErr(const std::string& s) { (void)!::write(2, s.data(), s.size()); }
#endif

void Out(const std::string& s) {
  std::size_t done = 0;
  while (done < s.size()) {
    int n = WriteOut(s.data() + done, static_cast<unsigned>(s.size() - done));
    if (n <= 0) std::exit(1);
    done += static_cast<std::size_t>(n);
  }
}

std::string Mode() {
  const char* page = std::getenv("PATH_TRANSLATED");
  if (page == nullptr) return "";
  std::ifstream in(page, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t at = text.find("mode=");
  if (at == std::string::npos) return "";
  std::size_t end = at + 5;
  while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) != 0)) ++end;
  return text.substr(at + 5, end - at - 5);
}

long long ContentLength() {
  const char* value = std::getenv("CONTENT_LENGTH");
  return value == nullptr ? 0 : std::atoll(value);
}

// Passes each piece of input on as soon as it is read.
void Echo(long long left, bool keep) {
  char buffer[65536];
  while (left > 0) {
    int n = ReadIn(buffer, static_cast<unsigned>(left < 65536 ? left : 65536));
    if (n <= 0) break;
    if (keep) Out(std::string(buffer, static_cast<std::size_t>(n)));
    left -= n;
  }
}

void PrintEnvironment() {
  Out("Content-Type: text/plain\r\n\r\nENV\n");
#ifdef _WIN32
  char* block = GetEnvironmentStringsA();
  for (char* p = block; *p != 0; p += std::strlen(p) + 1) Out(std::string(p) + '\0');
  FreeEnvironmentStringsA(block);
#else
  for (char** p = environ; *p != nullptr; ++p) Out(std::string(*p) + '\0');
#endif
  Out("\nINPUT\n");
  Echo(ContentLength(), true);
}

void AnswerVersion(const std::string& self) {
  std::ifstream file(self + ".version");
  std::string build;
  if (!(file >> build)) build = "cgi-fcgi";
  if (build == "silent") return;
  if (build == "forever")
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  Out("PHP 8.2.7 (" + build + ") (built: Jun  6 2023 21:28:56)" + (build == "cli" ? " (NTS)" : "") +
      "\nCopyright (c) The PHP Group\nZend Engine v4.2.7, Copyright (c) Zend Technologies\n");
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(0, _O_BINARY);
  _setmode(1, _O_BINARY);
  _setmode(2, _O_BINARY);
#endif
  if (argc > 1 && std::strcmp(argv[1], "-v") == 0) {
    AnswerVersion(argv[0]);
    return 0;
  }
  const std::string mode = Mode();
  if (mode == "env") {
    PrintEnvironment();
  } else if (mode == "status404") {
    Out("Status: 404 Not Found\r\nContent-Type: text/plain\r\n\r\nmissing");
  } else if (mode == "nohead") {
    Out("no empty line");
  } else if (mode == "big") {
    Out("Content-Type: application/octet-stream\r\n\r\n");
    std::string piece;
    for (int i = 0; i < 4096; ++i) piece += "0123456789abcdef";
    for (int i = 0; i < 128; ++i) Out(piece);
  } else if (mode == "echo") {
    Out("Content-Type: application/octet-stream\r\n\r\n");
    Echo(ContentLength(), true);
  } else if (mode == "sleep") {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Out("Content-Type: text/plain\r\n\r\nawake");
  } else if (mode == "ini") {
    std::ifstream ini("php.ini");
    Out(std::string("Content-Type: text/plain\r\n\r\nini=") + (ini ? "yes" : "no"));
  } else if (mode == "terminated") {
    const char* page = std::getenv("PATH_TRANSLATED");
    WriteErr(std::string("\nFatal error: Maximum execution time of 1+1 seconds exceeded (terminated) in ") +
             (page != nullptr ? page : "?") + " on line 1\n");
    return 124;
  } else if (mode == "diesmid") {
    Out("Content-Type: text/plain\r\n\r\npart");
    return 255;
  } else if (mode == "forever") {
    Out("Content-Type: text/plain\r\n\r\nstarted\n");
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  } else {
    Out("Status: 500 Unknown Mode\r\n\r\n" + mode);
  }
  return 0;
}
