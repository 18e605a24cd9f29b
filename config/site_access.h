// site_access.h - who may come in to the site, as the host set it: the mode
// and the code in state/access.ini beside www, a folder the server never
// serves. The site's pages keep the file (they write it whole, under the lock
// state/.lock); the program reads it for the address it gives out, and the
// Linux program's --access sets the mode. Any thread; each call reads the file.
// The state fails shut, as the site reads it: only a state folder that holds
// nothing yet (but its lock) is a fresh site, open; an access.ini that is
// empty, not a plain file, unreadable or makes no sense, or one that is gone
// while anything else is left, is damage, and damage is approve mode.
#pragma once
#include <functional>
#include <string>

inline constexpr char kSiteStateDir[] = "state";
inline constexpr char kSiteAccessFile[] = "access.ini";
inline constexpr char kSiteLockFile[] = ".lock";
// The program's own file there: the addresses and the network, for the host
// page (config/host_network.h). It, and the new copy it is written as, say
// nothing of who may come in.
inline constexpr char kSiteNetworkFile[] = "network.txt";
// How long a change waits for the lock, as the site's pages do, before it gives up.
inline constexpr int kSiteLockWaitMs = 3000;
// Without look-alikes (no 0/O, 1/I/L), so a code read off a screen is typed right.
inline constexpr char kCodeAlphabet[] = "23456789ABCDEFGHJKMNPQRSTUVWXYZ";
inline constexpr std::size_t kCodeLength = 10;

struct TSiteAccess {
  std::string Mode = "open";  // "open", "code" or "approve": the mode in force
  std::string Code;           // the code, in code mode or not ("" before the first)
  bool Damaged = false;       // the file makes no sense, or the site found its state damaged: approve is in force
};

// The settings in access.ini's text, as the site reads them; "" is damage.
TSiteAccess ParseSiteAccess(const std::string& text);

// The settings in stateDir/access.ini, read without waiting (a pipe there is damage).
TSiteAccess LoadSiteAccess(const std::string& stateDir);
// The settings of the state folder beside www.
TSiteAccess LoadSiteAccess();

// The folder of the site's state: GetAppDir + "/state".
std::string SiteStateDir();

// The address to give out: in code mode address + "/?code=" + the code, else the address.
std::string AddressToHandOut(const std::string& address, const TSiteAccess& access);

// A new code of kCodeLength characters of kCodeAlphabet from randomByte (a
// cryptographic source): bytes that would favour some characters are skipped.
std::string MakeCode(const std::function<unsigned char()>& randomByte);

// access.ini's text with mode set by the host: the damage notice cleared, a
// code made with newCode in code mode when there is none; a text that makes
// no sense is started afresh.
std::string WithSiteMode(const std::string& text, const std::string& mode, const std::function<std::string()>& newCode);
