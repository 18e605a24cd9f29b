// constants.h - the values that more than one folder must agree on.
#pragma once

// The server's one TCP port: the window and the headless server listen on it
// and show it in the address they give out.
inline constexpr int kServerPort = 60001;

// The list of shared directories that the program writes into the site root for
// the pages, which read it from disk; the server never sends it.
inline constexpr const char* kSharedDirsFile = "dirs.ini";
