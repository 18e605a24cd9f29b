// port.h - the one platform type the connection layer shares: a socket handle.
#pragma once
#include <cstdint>

#ifdef _WIN32
using socket_t = std::uintptr_t;  // SOCKET
inline constexpr socket_t kInvalidSocket = ~static_cast<socket_t>(0);
#else
using socket_t = int;
inline constexpr socket_t kInvalidSocket = -1;
#endif
