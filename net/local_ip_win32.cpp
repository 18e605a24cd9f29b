// local_ip_win32.cpp - the address to give out on Windows: the first of the
// host name's lookup.
#include "net/local_ip.h"
#include "net/tcp_connection.h"

std::string GetLocalIP() { return FirstLocalAddress(); }
