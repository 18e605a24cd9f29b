// port_owner.h - the pure readers behind FindPortOwner: the netstat listing
// (Windows) and the kernel's TCP socket tables (Linux), kept apart from running
// anything so both builds can test them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

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
