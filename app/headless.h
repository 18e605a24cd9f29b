// headless.h - the server without a window: what the interactive run does where
// there is no display.
#pragma once
#include <functional>
#include <string>

// Runs the start-up steps of the window that are not about the window, serves on
// port 60001 at once, prints the address, the upload directory and the status,
// and on SIGINT or SIGTERM stops the server. autoStart: started with "-auto";
// with AutoRun off that start ends at once. started: called once the server has
// been started, with the address it serves at ("" when it could not bind).
// Returns the exit code, always 0.
int RunHeadless(bool autoStart, const std::function<void(const std::string& address)>& started);
