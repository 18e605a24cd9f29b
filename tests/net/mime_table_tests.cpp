// TIdMimeTable: the built-in list, lookups by extension, AddEntry's checks and
// the order of built-in and registered types.
#include <gtest/gtest.h>

#include <set>

#include "net/exceptions.h"
#include "net/mime_table.h"

namespace {

// A table filled from the built-in list alone.
TIdMimeTable BuiltInOnly() {
  TIdMimeTable table(false);
  table.RegisteredTypes = nullptr;
  table.EnsureFilled();
  return table;
}

TEST(MimeTable, BuiltInListHolds134DistinctExtensionsAndTheFirstXbmWins) {
  TIdMimeTable table = BuiltInOnly();
  EXPECT_EQ(134u, table.Count());
  EXPECT_EQ("image/xbm", table.ContentTypeFor("icon.xbm"));
  EXPECT_EQ("text/xml", table.ContentTypeFor("feed.xml"));
}

// What the site's own static files are sent as (a browser applies a
// stylesheet only as text/css), and the rows the table's description calls out:
// .png as image/x-png unless a registered type says otherwise, a mixed-case
// type stored lower-cased, and what the built-in list does not know.
TEST(MimeTable, TheSitesFilesAndTheTellingRows) {
  TIdMimeTable table = BuiltInOnly();
  const std::pair<const char*, const char*> cases[] = {
      {"assets/site.css", "text/css"}, {"page.htm", "text/html"}, {"page.html", "text/html"},
      {"notes.txt", "text/plain"},     {"shot.png", "image/x-png"},
      {"a.mjf", "audio/x-vnd.audioexplosion.mjuicemediafile"},
  };
  for (const auto& [name, type] : cases) EXPECT_EQ(type, table.ContentTypeFor(name)) << name;
  for (const char* unknown : {"a.js", "a.php", "a.json", "a.exe", "a.rar", "a.mp4"})
    EXPECT_EQ("application/octet-stream", table.ContentTypeFor(unknown)) << unknown;
}

TEST(MimeTable, ExtensionIsTakenAfterTheLastDotOfTheName) {
  TIdMimeTable table = BuiltInOnly();
  const std::pair<const char*, const char*> cases[] = {
      {"index.HTML", "text/html"},
      {"photo.JPG", "image/jpeg"},
      {"archive.tar.gz", "application/x-gzip"},
      {"C:\\www\\sub.dir\\page.Htm", "text/html"},
      {"README", "application/octet-stream"},
      {"name.", "application/octet-stream"},
      {"...", "application/octet-stream"},
      {"C:\\www\\a.b\\readme", "application/octet-stream"},
      {"/srv/www/a.b/readme", "application/octet-stream"},
      {"C:readme", "application/octet-stream"},
      {"", "application/octet-stream"},
  };
  for (const auto& [name, type] : cases) EXPECT_EQ(type, table.ContentTypeFor(name)) << name;
}

TEST(MimeTable, AutofilledTableKnowsTheCommonTypes) {
  TIdMimeTable table;
  EXPECT_GE(table.Count(), 134u);
  EXPECT_EQ("text/html", table.ContentTypeFor("index.HTML"));
  // Registered types may differ from the built-in ones (Windows registers
  // image/pjpeg for .jpg last), but the case of the name never matters.
  EXPECT_EQ(table.ContentTypeFor("photo.jpg"), table.ContentTypeFor("photo.JPG"));
  EXPECT_EQ(0u, table.ContentTypeFor("photo.JPG").rfind("image/", 0));
  EXPECT_EQ("application/octet-stream", table.ContentTypeFor("noextension"));
}

TEST(MimeTable, AddEntryLowerCasesAndRefusesEmptyAndRepeatedEntries) {
  TIdMimeTable table(false);
  table.AddEntry("TXT", "Text/Plain");
  EXPECT_EQ("text/plain", table.ContentTypeFor("a.txt"));
  const struct {
    const char* Extension;
    const char* Type;
    const char* Message;
  } refused[] = {
      {"", "text/plain", "Extension is empty"},
      {".css", "", "Mimetype is empty"},
      {".TXT", "text/other", "Extension already exits"},
      {"txt", "text/other", "Extension already exits"},
  };
  for (const auto& r : refused) {
    try {
      table.AddEntry(r.Extension, r.Type);
      ADD_FAILURE() << "accepted " << r.Extension;
    } catch (const EIdException& e) {
      EXPECT_STREQ(r.Message, e.what()) << r.Extension;
    }
  }
  EXPECT_EQ(1u, table.Count());
}

// Connection threads look up at once: a lookup that filled the table would
// write while they read.
TEST(MimeTable, LookupsNeverFillTheTable) {
  TIdMimeTable filled(false);
  filled.AddEntry(".foo", "x/foo");
  EXPECT_EQ("application/octet-stream", filled.ContentTypeFor("a.html"));
  EXPECT_EQ(1u, filled.Count());

  const TIdMimeTable empty(false);
  EXPECT_EQ("application/octet-stream", empty.ContentTypeFor("a.html"));
  EXPECT_EQ(0u, empty.Count());
}

TEST(MimeTable, RegisteredTypesReplaceBuiltInOnesAndAddNewOnes) {
  TIdMimeTable table(false);
  table.RegisteredTypes = [](TIdMimeTable::Lines& lines) {
    TIdMimeTable::SetLine(lines, ".PNG", "image/png");    // per extension, any case
    TIdMimeTable::SetLine(lines, ".php", "text/x-php");
    TIdMimeTable::SetLine(lines, "js", "text/javascript");  // no dot: one is put in front
    TIdMimeTable::SetLine(lines, "", "text/nothing");      // a type without an extension
    TIdMimeTable::SetLine(lines, ".php", "application/x-httpd-php");  // the last one wins
  };
  table.EnsureFilled();
  EXPECT_EQ("image/png", table.ContentTypeFor("a.png"));
  EXPECT_EQ("application/x-httpd-php", table.ContentTypeFor("a.php"));
  EXPECT_EQ("text/javascript", table.ContentTypeFor("a.js"));
  EXPECT_EQ("text/html", table.ContentTypeFor("a.html"));
  EXPECT_EQ(136u, table.Count());
}

}  // namespace
