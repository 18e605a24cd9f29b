// serve_main.cpp - drives the web server for the black-box tests of a build that
// has no headless program (the Windows build under Wine): serves the folder it
// lies in on the given port until a file named "stop" appears there.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "base/program_env.h"
#include "http/web_server.h"

int main(int argc, char** argv) {
  int port = argc > 1 ? std::atoi(argv[1]) : 60001;
  const std::filesystem::path stopFile = std::filesystem::path(GetAppDir()) / "stop";
  TWebServer server;
  server.Start(port);
  std::printf("Status: %s\n", server.Active() ? "started" : "stopped");
  std::fflush(stdout);
  while (!std::filesystem::exists(stopFile)) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  server.Stop();
  std::printf("Status: %s\n", server.Active() ? "started" : "stopped");
  return 0;
}
