// port_owner.cpp - the netstat and /proc/net/tcp readers, and FreePort, which is
// the same on every platform.
#include "sys/port_owner.h"

#include <string_view>

#include "base/text.h"

namespace port_owner {
namespace {

// 1-based columns of the netstat listing.
constexpr std::size_t kLocalFirst = 10, kLocalLength = 21;
constexpr std::size_t kStateFirst = 56, kStateLength = 14;
constexpr std::size_t kPidFirst = 72;
constexpr std::size_t kMaxPortDigits = 5;

// The characters of a 1-based column; empty beyond the end of a short line.
std::string Column(std::string_view line, std::size_t first, std::size_t length = std::string::npos) {
  return std::string(first - 1 < line.size() ? line.substr(first - 1, length) : std::string_view());
}

// The number written in s with the given base, at most maxDigits digits and
// nothing else; false for anything else.
bool ParseNumber(std::string_view s, unsigned base, std::size_t maxDigits, std::uint64_t& value) {
  if (s.empty() || s.size() > maxDigits) return false;
  std::uint64_t v = 0;
  for (char c : s) {
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else return false;
    if (digit >= base) return false;
    v = v * base + digit;
  }
  value = v;
  return true;
}

// A process id or port as netstat writes it; -1 when the text is no decimal number.
int NetstatNumber(const std::string& s) {
  std::uint64_t v;
  return ParseNumber(s, 10, 9, v) ? static_cast<int>(v) : -1;
}

// The port of a netstat local address: the at most 5 characters after its
// first ":". An address in brackets ("[::]:80") yields no number, so -1.
int NetstatLocalPort(std::string_view line) {
  std::string local = text::Trim(Column(line, kLocalFirst, kLocalLength));
  std::size_t colon = local.find(':');
  if (colon == std::string::npos) return -1;
  return NetstatNumber(text::Trim(local.substr(colon + 1, kMaxPortDigits)));
}

// The blank-separated field of a line at index (0-based); empty when missing.
std::string_view Field(std::string_view line, std::size_t index) {
  std::size_t at = 0;
  for (;;) {
    at = line.find_first_not_of(' ', at);
    if (at == std::string_view::npos) return {};
    std::size_t end = line.find(' ', at);
    if (end == std::string_view::npos) end = line.size();
    if (index-- == 0) return line.substr(at, end - at);
    at = end;
  }
}

}  // namespace

// The first listening line for the port decides: a later line's process is
// never the answer, since FreePort would end it.
int PidFromNetstat(const std::string& listing, int port) {
  int pid = 0;
  bool decided = false;
  text::ForEachLine(listing, [&](std::string_view line) {
    if (decided || text::UpperAscii(text::Trim(Column(line, kStateFirst, kStateLength))) != "LISTENING") return;
    if (NetstatLocalPort(line) != port) return;
    decided = true;
    pid = NetstatNumber(text::Trim(Column(line, kPidFirst)));
  });
  return pid > 0 ? pid : 0;
}

// A table line: "sl local rem st tx:rx tr:when retrnsmt uid timeout inode ...",
// addresses as hex "ADDR:PORT". The tables can run to tens of thousands of
// lines when many connections wait out TIME_WAIT, so only listening lines are
// looked at closely.
std::vector<std::uint64_t> ListeningInodes(const std::string& table, int port) {
  constexpr std::size_t kLocal = 1, kState = 3, kInode = 9;
  constexpr std::size_t kMaxInodeDigits = 19;  // always fits 64 bits
  std::vector<std::uint64_t> inodes;
  text::ForEachLine(table, [&](std::string_view line) {
    if (Field(line, kState) != "0A") return;
    std::string_view local = Field(line, kLocal);
    std::size_t colon = local.rfind(':');
    std::uint64_t localPort, inode;
    if (colon == std::string_view::npos || !ParseNumber(local.substr(colon + 1), 16, 4, localPort)) return;
    if (localPort == static_cast<std::uint64_t>(port) && ParseNumber(Field(line, kInode), 10, kMaxInodeDigits, inode) &&
        inode != 0)
      inodes.push_back(inode);
  });
  return inodes;
}

std::uint64_t SocketInode(const std::string& linkTarget) {
  const std::string_view prefix = "socket:[";
  std::string_view target = linkTarget;
  std::uint64_t inode;
  if (target.size() < prefix.size() + 1 || target.substr(0, prefix.size()) != prefix || target.back() != ']')
    return 0;
  return ParseNumber(target.substr(prefix.size(), target.size() - prefix.size() - 1), 10, 19, inode) ? inode : 0;
}

}  // namespace port_owner

void FreePort(int port) {
  int pid = FindPortOwner(port);
  if (pid != 0) KillProcess(pid);
}
