// test_server.h - what the gateway's end-to-end tests share: the stand-in CGI
// program built beside them, and the real server started on the tests' port.
#pragma once
#include <filesystem>
#include <string>

#include "base/program_env.h"
#include "http/web_server.h"
#include "support/loopback_client.h"
#include "support/server_harness.h"

#ifdef _WIN32
inline const char* const kExeSuffix = ".exe";
#else
inline const char* const kExeSuffix = "";
#endif

inline std::filesystem::path EchoProgramPath() {
  return std::filesystem::path(GetExePath()).parent_path() / (std::string("cgi_echo") + kExeSuffix);
}

// Another run may still hold the port for a moment; never free it by force.
inline bool StartOnTestPort(TWebServer& server, int port) {
  for (int attempt = 0; attempt < 50 && !server.Active(); ++attempt) {
    TLoopbackClient probe;
    if (!probe.Connect(port)) server.Start(port);
    if (!server.Active()) SleepMs(200);
  }
  return server.Active();
}
