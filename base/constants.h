// constants.h - the values that more than one folder must agree on.
#pragma once

// The server's one TCP port: the window and the headless server listen on it
// and show it in the address they give out.
inline constexpr int kServerPort = 60001;
