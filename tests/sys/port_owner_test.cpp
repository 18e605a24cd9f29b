// port_owner_test.cpp - the netstat listing and /proc/net/tcp readers.
#include "sys/port_owner.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace {

using port_owner::ListeningInodes;
using port_owner::PidFromNetstat;

// A listing as netstat -a -n -o prints it: fixed columns, CR LF line ends.
const char* const kListing =
    "\r\n"
    "Active Connections\r\n"
    "\r\n"
    "  Proto  Local Address          Foreign Address        State           PID\r\n"
    "  TCP    0.0.0.0:135            0.0.0.0:0              LISTENING       884\r\n"
    "  TCP    192.168.1.5:60001      192.168.1.9:51234      ESTABLISHED     4100\r\n"
    "  TCP    0.0.0.0:60001          0.0.0.0:0              LISTENING       4200\r\n"
    "  TCP    127.0.0.1:6000         0.0.0.0:0              LISTENING       4300\r\n"
    "  TCP    [::]:135               [::]:0                 LISTENING       884\r\n"
    "  UDP    0.0.0.0:500            *:*                                    1234\r\n";

// One listing line with its fields placed in netstat's columns.
std::string Line(const std::string& local, const std::string& state, const std::string& pid) {
  auto pad = [](std::string s, std::size_t width) { return s.append(width > s.size() ? width - s.size() : 1, ' '); };
  return "  TCP    " + pad(local, 23) + pad("0.0.0.0:0", 23) + pad(state, 16) + pid;
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
  return s;
}

TEST(NetstatListing, ListeningLineWinsOverEarlierLinesInOtherStates) {
  EXPECT_EQ(PidFromNetstat(kListing, 60001), 4200);
  EXPECT_EQ(PidFromNetstat(kListing, 135), 884);
}

TEST(NetstatListing, PortsCompareAsNumbers) {
  EXPECT_EQ(PidFromNetstat(kListing, 6000), 4300);
  EXPECT_EQ(PidFromNetstat(Line("0.0.0.0:60001", "LISTENING", "7"), 6000), 0);
  EXPECT_EQ(PidFromNetstat(Line("0.0.0.0:6000", "LISTENING", "7"), 60001), 0);
  EXPECT_EQ(PidFromNetstat(Line("0.0.0.0:060001", "LISTENING", "7"), 60001), 0);  // only 5 characters count
}

TEST(NetstatListing, AnyLocalAddressMatchesAndTheFirstLineWins) {
  EXPECT_EQ(PidFromNetstat(Line("0.0.0.0:60001", "LISTENING", "11"), 60001), 11);
  EXPECT_EQ(PidFromNetstat(Line("127.0.0.1:60001", "LISTENING", "12"), 60001), 12);
  EXPECT_EQ(PidFromNetstat(Line("10.1.2.3:60001", "LISTENING", "13"), 60001), 13);
  std::string both = Line("127.0.0.1:60001", "LISTENING", "12") + "\r\n" + Line("0.0.0.0:60001", "LISTENING", "11");
  EXPECT_EQ(PidFromNetstat(both, 60001), 12);
}

TEST(NetstatListing, MissingPortOrEmptyListingGivesZero) {
  EXPECT_EQ(PidFromNetstat(kListing, 60002), 0);
  EXPECT_EQ(PidFromNetstat(kListing, 500), 0);  // UDP: no state
  EXPECT_EQ(PidFromNetstat("", 60001), 0);
}

TEST(NetstatListing, LineEndsOfEveryKindSplitAlike) {
  std::string crOnly = Replace(kListing, "\r\n", "\r");
  std::string lfOnly = Replace(kListing, "\r\n", "\n");
  EXPECT_EQ(text::SplitLines(crOnly), text::SplitLines(kListing));
  EXPECT_EQ(text::SplitLines(lfOnly), text::SplitLines(kListing));
  EXPECT_EQ(PidFromNetstat(crOnly, 60001), 4200);
  EXPECT_EQ(PidFromNetstat(lfOnly, 60001), 4200);
  EXPECT_EQ(text::SplitLines("a\r\n\r\nb\n\rc"), (std::vector<std::string>{"a", "", "b", "", "c"}));
}

TEST(NetstatListing, BracketedAddressesArePassedOver) {
  std::string listing = Line("[::]:60001", "LISTENING", "21") + "\r\n" + Line("[::1]:60001", "LISTENING", "22") +
                        "\r\n" + Line("0.0.0.0:60001", "LISTENING", "23");
  EXPECT_EQ(PidFromNetstat(listing, 60001), 23);
  EXPECT_EQ(PidFromNetstat(Line("[::]:60001", "LISTENING", "21"), 60001), 0);
}

TEST(NetstatListing, HeaderShortAndMalformedLinesNeverMatch) {
  std::string full = Line("0.0.0.0:60001", "LISTENING", "31");
  EXPECT_EQ(PidFromNetstat(full.substr(0, 60), 60001), 0);  // ends inside the state
  EXPECT_EQ(PidFromNetstat(Replace(full, "31", ""), 60001), 0);          // no id
  EXPECT_EQ(PidFromNetstat(Replace(full, "31", "3x1"), 60001), 0);       // id not a number
  EXPECT_EQ(PidFromNetstat(Replace(full, "0.0.0.0:60001", "0.0.0.0"), 60001), 0);  // no port
  EXPECT_EQ(PidFromNetstat("  TCP    0.0.0.0:60001 LISTENING 31", 60001), 0);     // not in columns
  EXPECT_EQ(PidFromNetstat("\r\n\r\nx\r\n  Proto  Local Address", 60001), 0);
  // Only the English state word counts, in any letter case.
  EXPECT_EQ(PidFromNetstat(Line("0.0.0.0:60001", "ABHOEREN", "31"), 60001), 0);
  EXPECT_EQ(PidFromNetstat(Line("0.0.0.0:60001", "Listening", "31"), 60001), 31);
}

TEST(NetstatListing, TheFirstListeningLineDecidesEvenWithoutAProcess) {
  const std::string later = "\n" + Line("127.0.0.1:60001", "LISTENING", "32");
  EXPECT_EQ(PidFromNetstat(Line("0.0.0.0:60001", "LISTENING", "0") + later, 60001), 0);
  EXPECT_EQ(PidFromNetstat(Line("0.0.0.0:60001", "LISTENING", "3x1") + later, 60001), 0);
  EXPECT_EQ(PidFromNetstat(Line("0.0.0.0:60001", "ESTABLISHED", "0") + later, 60001), 32);
}

// /proc/net/tcp as the kernel writes it (ports and addresses in hex).
const char* const kTcp =
    "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
    "   0: 0100007F:EA61 0100007F:C350 01 00000000:00000000 00:00000000 00000000  1000        0 5555 1 0 20 4 30 10 -1\n"
    "   1: 00000000:EA61 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000        0 28416 1 0 100 0 0 10 0\n"
    "   2: 0100007F:1770 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 1164 1 0 100 0 0 10 0\n"
    "   3: 0100007F:EA61 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000        0 28417 1 0 100 0 0 10 0\n";

const char* const kTcp6 =
    "  sl  local_address                         remote_address                        st tx_queue rx_queue tr "
    "tm->when retrnsmt   uid  timeout inode\n"
    "   0: 00000000000000000000000001000000:EA61 00000000000000000000000000000000:0000 0A 00000000:00000000 "
    "00:00000000 00000000  1000        0 99001 1 0 100 0 0 10 0\n";

TEST(ProcNetTcp, ListeningEntriesOnThePortInTableOrder) {
  EXPECT_EQ(ListeningInodes(kTcp, 60001), (std::vector<std::uint64_t>{28416, 28417}));
  EXPECT_EQ(ListeningInodes(kTcp, 6000), (std::vector<std::uint64_t>{1164}));
  EXPECT_EQ(ListeningInodes(kTcp6, 60001), (std::vector<std::uint64_t>{99001}));
}

TEST(ProcNetTcp, OtherStatesPortsAndJunkGiveNothing) {
  EXPECT_TRUE(ListeningInodes(kTcp, 50000).empty());  // only in the established entry's remote address
  EXPECT_TRUE(ListeningInodes(kTcp, 60002).empty());
  EXPECT_TRUE(ListeningInodes("", 60001).empty());
  EXPECT_TRUE(ListeningInodes("   0: 00000000:EA61 00000000:0000 0A\n", 60001).empty());  // cut short
  EXPECT_TRUE(ListeningInodes("   0: 00000000:EA6G 00000000:0000 0A 0:0 0:0 0 0 0 12 1\n", 60001).empty());
  EXPECT_TRUE(ListeningInodes("   0: 00000000:EA61 00000000:0000 0A 0:0 0:0 0 0 0 -12 1\n", 60001).empty());
  EXPECT_TRUE(ListeningInodes("   0: 00000000:EA61 00000000:0000 0A 0:0 0:0 0 0 0 0 1\n", 60001).empty());
}

TEST(ProcNetTcp, SocketLinksGiveTheirInode) {
  EXPECT_EQ(port_owner::SocketInode("socket:[28416]"), 28416u);
  EXPECT_EQ(port_owner::SocketInode("socket:[18446744073709551615]"), 0u);  // 20 digits: refused, not wrapped
  EXPECT_EQ(port_owner::SocketInode("socket:[1844674407370955161]"), 1844674407370955161u);
  for (const char* other : {"pipe:[28416]", "/dev/null", "socket:[]", "socket:[12a]", "socket:[12", "socket:12]"})
    EXPECT_EQ(port_owner::SocketInode(other), 0u) << other;
}

}  // namespace
