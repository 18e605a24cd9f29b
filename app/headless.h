// headless.h - the server without a window: what the interactive run does where
// there is no display.
#pragma once

// Runs the start-up steps of the window that are not about the window, serves on
// port 60001 at once, prints the address, the upload directory and the status,
// and on SIGINT or SIGTERM stops the server. autoStart: started with "-auto";
// with AutoRun off that start ends at once. Returns the exit code, always 0.
int RunHeadless(bool autoStart);
