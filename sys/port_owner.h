// port_owner.h - freeing the server's port: the process that listens on it,
// found and ended, and the pure readers of the listings behind the lookup (the
// netstat listing on Windows, the kernel's TCP socket tables on Linux), kept
// apart from running anything so both builds can test them. Main thread.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The first listening entry for the port decides: its process id, or 0 when
// that id is 0 or unknown; 0 when nothing listens.
int FindPortOwner(int port);
// Ends the process and waits (at most 2 s) until it has let go of what it
// held, so that a bind right after it finds the port free.
void KillProcess(int processId);
// FindPortOwner, then KillProcess when it found one.
void FreePort(int port);

namespace port_owner {

// The process id on the first "LISTENING" line of a "netstat -a -n -o" listing
// whose local port equals port, read by the listing's fixed columns; 0 when no
// line matches, or when that line's id is 0 or no decimal number: no later
// line is looked at. Lines whose port text is not a decimal number (IPv6
// addresses in brackets) are passed over.
int PidFromNetstat(const std::string& listing, int port);

// The socket inodes of the LISTEN entries (state 0A) of a /proc/net/tcp or
// /proc/net/tcp6 table whose local port equals port, in table order; the
// first one decides whose the port is.
std::vector<std::uint64_t> ListeningInodes(const std::string& table, int port);

// The inode of a descriptor link target "socket:[12345]"; 0 for anything else.
std::uint64_t SocketInode(const std::string& linkTarget);

}  // namespace port_owner
