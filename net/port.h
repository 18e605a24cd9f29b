// port.h - the platform types the connection layer shares: a socket handle,
// and a handle that a wait on a socket may also watch (a pipe end, a process).
#pragma once
#include <cstdint>

#ifdef _WIN32
using socket_t = std::uintptr_t;  // SOCKET
inline constexpr socket_t kInvalidSocket = ~static_cast<socket_t>(0);
using wait_handle_t = void*;  // HANDLE: an event or a process, woken when signalled
#else
using socket_t = int;
inline constexpr socket_t kInvalidSocket = -1;
using wait_handle_t = int;  // a descriptor, woken when readable or writable
#endif
