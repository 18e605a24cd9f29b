// site_access_test.cpp - the site's access settings beyond what the program
// reads of access.ini's text (tests/cases/access_ini.txt): only a state folder
// that holds nothing yet is a fresh site; the address to give out, the codes,
// the mode set as the host page sets it.
#include <gtest/gtest.h>

#include <functional>

#include "config/site_access.h"
#include "support/temp_dir.h"

namespace {
constexpr char kCode[] = "ABCDEFGH23";
}

// Links and pipes in the folder are the Linux program's test (tests/app/entry_posix.sh).
TEST(SiteAccess, OnlyAFolderThatHoldsNothingYetIsAFreshSite) {
  struct TRow {
    const char* what;
    std::function<void(const TTempDir&)> make;
    std::string mode;
    bool damaged;
  };
  const std::string sound = "[Access]\r\nMode=code\r\nUploads=on\r\nCode=ABCDEFGH23\r\n";
  const std::vector<TRow> rows = {
      {"no state folder", [](const TTempDir&) {}, "open", false},
      {"a folder with only its lock", [](const TTempDir& t) { t.Write("state/.lock", ""); }, "open", false},
      {"the program's network file, and its new copy",
       [](const TTempDir& t) { t.Write("state/network.txt", "x"), t.Write("state/network.txt.7.tmp", "x"); }, "open", false},
      {"a sound file", [&](const TTempDir& t) { t.Write("state/access.ini", sound); }, "code", false},
      {"an empty file", [](const TTempDir& t) { t.Write("state/access.ini", ""); }, "approve", true},
      {"the file gone, the visitors left",
       [](const TTempDir& t) { t.Write("state/visitors.json", "{}"); }, "approve", true},
      {"the file gone, a damaged copy left",
       [](const TTempDir& t) { t.Write("state/access.ini.damaged", "x"); }, "approve", true},
      {"a folder for the file", [](const TTempDir& t) { t.MakeDir("state/access.ini"); }, "approve", true},
      {"a file for the folder", [](const TTempDir& t) { t.Write("state", ""); }, "approve", true},
  };
  for (const TRow& row : rows) {
    const TTempDir app("site-state");
    row.make(app);
    const TSiteAccess access = LoadSiteAccess(app.At("state"));
    EXPECT_EQ(row.mode, access.Mode) << row.what;
    EXPECT_EQ(row.damaged, access.Damaged) << row.what;
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
