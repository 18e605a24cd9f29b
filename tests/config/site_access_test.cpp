// site_access_test.cpp - the site's access settings beyond what the program
// reads of access.ini's text: a fresh site; the address to give out, the
// codes, the mode set as the host page sets it.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "config/site_access.h"
#include "support/temp_dir.h"

namespace {
constexpr char kCode[] = "ABCDEFGH23";
}

// Only a state folder that holds nothing but its lock and the program's
// network file is a fresh site (what the file's text makes is
// tests/cases/access_ini.txt; links and pipes are the Linux program's test,
// tests/app/entry_posix.sh). A path ending in "/" is made a folder.
TEST(SiteAccess, OnlyAFolderThatHoldsNothingYetIsAFreshSite) {
  for (const auto& [made, mode] : std::vector<std::pair<std::string, std::string>>{
           {"", "open"}, {"state/.lock", "open"}, {"state/network.txt", "open"}, {"state/network.txt.7.tmp", "open"},
           {"state/visitors.json", "approve"}, {"state/access.ini/", "approve"}, {"state", "approve"}}) {
    const TTempDir app("site-state");
    if (made.ends_with('/')) app.MakeDir(made);
    else if (!made.empty()) app.Write(made, "");
    const TSiteAccess access = LoadSiteAccess(app.At("state"));
    EXPECT_EQ(mode, access.Mode) << made;
    EXPECT_EQ(mode == "approve", access.Damaged) << made;
  }
}

TEST(SiteAccess, TheAddressCarriesTheCodeInCodeModeOnly) {
  const std::string address = "http://192.168.1.20:60001";
  EXPECT_EQ(address + "/?code=ABCDEFGH23", AddressToHandOut(address, {"code", kCode, false}));
  EXPECT_EQ(address, AddressToHandOut(address, {"open", kCode, false}));
  EXPECT_EQ(address, AddressToHandOut(address, {"approve", kCode, true}));
}

// Bytes from 248 on would favour the first eight characters: they are skipped.
TEST(SiteAccess, CodesTakeEveryCharacterAlike) {
  unsigned next = 245;
  EXPECT_EQ("XYZ2345678", MakeCode([&] { return static_cast<unsigned char>(next++ % 256); }));
  EXPECT_EQ(kCodeLength, MakeCode([] { return static_cast<unsigned char>(30); }).size());
}

TEST(SiteAccess, SettingTheModeKeepsTheRestAndAnswersTheDamageNotice) {
  const auto newCode = [] { return std::string("NEWXCDE234"); };
  const std::string set = WithSiteMode("[Access]\r\nMode=open\r\nUploads=off\r\nCode=ABCDEFGH23\r\nDamaged=17\r\n",
                                       "code", newCode);
  EXPECT_EQ("[Access]\r\nMode=code\r\nUploads=off\r\nCode=ABCDEFGH23\r\nDamaged=\r\n", set);
  // A text the site could read otherwise is started afresh: a key given twice
  // was set where the site, which takes the last, never looked.
  EXPECT_EQ("[Access]\r\nMode=code\r\nUploads=on\r\nCode=NEWXCDE234\r\nDamaged=\r\n",
            WithSiteMode("[Access]\r\nMode=open\r\nMode=approve\r\n", "code", newCode));
  const TSiteAccess fresh = ParseSiteAccess(WithSiteMode("", "code", newCode));
  EXPECT_EQ("code", fresh.Mode);
  EXPECT_EQ("NEWXCDE234", fresh.Code);
  EXPECT_EQ("approve", ParseSiteAccess(WithSiteMode("garbage\r\n[Access]\r\nMode=closed", "approve", newCode)).Mode);
  EXPECT_FALSE(ParseSiteAccess(WithSiteMode("garbage\r\n[Access]\r\nMode=closed", "open", newCode)).Damaged);
}
