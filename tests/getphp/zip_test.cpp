// zip_test.cpp - the zip reader against damaged and hostile archives, the
// rules for entry names, and an unpack that a refused name keeps from writing.
#include <gtest/gtest.h>

#include "getphp/folder_ops.h"
#include "getphp/unpack.h"
#include "getphp/zip_names.h"
#include "getphp/zip_reader.h"
#include "getphp/zip_maker.h"
#include "support/temp_dir.h"

namespace {

// Every entry's bytes, or the first error.
std::string ExtractAll(const TZipArchive& zip, std::vector<std::string>& contents) {
  for (std::size_t i = 0; i < zip.Entries().size(); ++i) {
    std::string data;
    std::string error = zip.Extract(i, [&data](const char* p, std::size_t n) {
      data.append(p, n);
      return std::string();
    });
    if (!error.empty()) return error;
    contents.push_back(data);
  }
  return "";
}

std::string Bytes(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>((i * 7919) >> 3);
  return s;
}

}  // namespace

TEST(ZipReader, StoredAndDeflatedEntriesComeOutWhole) {
  const std::string big = Bytes(300000);
  const std::string zip =
      MakeZip({{"php-cgi.exe", big}, {"ext/", ""}, {"ext/a.dll", "tiny", false}, {"empty.txt", ""}});
  TZipArchive archive;
  ASSERT_EQ(archive.Open(zip), "");
  ASSERT_EQ(archive.Entries().size(), 4u);
  EXPECT_TRUE(archive.Entries()[1].IsFolder());
  std::vector<std::string> contents;
  ASSERT_EQ(ExtractAll(archive, contents), "");
  EXPECT_EQ(contents[0], big);
  EXPECT_EQ(contents[2], "tiny");
  EXPECT_EQ(contents[3], "");
}

TEST(ZipReader, RefusesWhatADownloadMayCarry) {
  const std::string data = Bytes(5000);
  const std::string good = MakeZip({{"a.txt", data}});
  const struct {
    const char* What;
    std::string Zip;
  } cases[] = {
      {"cut off half way", good.substr(0, good.size() / 2)},
      {"empty", ""},
      {"the wrong CRC-32", MakeZip({{"a.txt", data, true, "", 1}})},
      {"more data than stated", MakeZip({{"a.txt", data, true, "", 0, 0, 100}})},
      {"less data than stated", MakeZip({{"a.txt", data, true, "", 0, 0, 6000}})},
      {"encrypted", MakeZip({{"a.txt", data, true, "", 0, 1}})},
      {"another name in the local header", MakeZip({{"a.txt", data, true, "../b.txt"}})},
      {"a bomb past 1 GB", MakeZip({{"a", data, true, "", 0, 0, 0x7FFFFFFF}, {"b", data, true, "", 0, 0, 0x7FFFFFFF}})},
  };
  for (const auto& c : cases) {
    TZipArchive archive;
    std::vector<std::string> contents;
    std::string error = archive.Open(c.Zip);
    if (error.empty()) error = ExtractAll(archive, contents);
    EXPECT_NE(error, "") << c.What;
  }
  // A damaged deflate stream in the middle of the file.
  std::string damaged = good;
  for (std::size_t i = 40; i < 80; ++i) damaged[i] = '\xFF';
  TZipArchive archive;
  std::vector<std::string> contents;
  ASSERT_EQ(archive.Open(damaged), "");
  EXPECT_NE(ExtractAll(archive, contents), "");
}

TEST(ZipNames, EachNameLandsInsideUnderTheNameItShows) {
  const struct {
    std::vector<std::string> Names;
    bool Taken;
  } cases[] = {
      {{"php-cgi.exe", "ext/", "ext/php_curl.dll", "lib/enchant/libenchant2_hunspell.dll"}, true},
      {{"ext/a.dll"}, true},  // a folder made without an entry of its own
      {{"../evil.txt"}, false},
      {{"ext/../../evil.txt"}, false},
      {{"ext\\..\\evil.txt"}, false},
      {{"/etc/evil"}, false},
      {{"\\evil"}, false},
      {{"C:evil.txt"}, false},
      {{"php-cgi.exe:stream"}, false},
      {{"php-cgi.exe."}, false},
      {{"ext /a.dll"}, false},
      {{"nul"}, false},
      {{"ext/COM1.dll"}, false},
      {{"a//b"}, false},
      {{"./a"}, false},
      {{"a?b"}, false},
      {{"caf\xC3\xA9.txt"}, false},
      {{"tab\there"}, false},
      {{""}, false},
      {{"php-cgi.exe", "PHP-CGI.EXE"}, false},
      {{"ext/", "Ext/"}, false},
      {{"ext", "ext/a.dll"}, false},  // a file and a folder of one name
      {{"ext/a.dll", "EXT"}, false},
  };
  for (const auto& c : cases) {
    std::string names;
    for (const std::string& n : c.Names) names += n + " ";
    EXPECT_EQ(RefusalOfEntryNames(c.Names).empty(), c.Taken) << names;
  }
}

TEST(Unpack, ARefusedArchiveWritesNothing) {
  TTempDir dir("ostrel-unpack");
  TSystemFolderOps ops;
  const struct {
    const char* What;
    std::vector<TMadeEntry> Entries;
  } cases[] = {
      {"a name outside", {{"php-cgi.exe", "x"}, {"../evil.txt", "outside"}}},
      {"no php-cgi.exe at the root", {{"php/php-cgi.exe", "x"}}},
  };
  for (const auto& c : cases) {
    TZipArchive archive;
    const std::string zip = MakeZip(c.Entries);
    ASSERT_EQ(archive.Open(zip), "") << c.What;
    EXPECT_NE(Unpack(archive, dir.At("new"), ops), "") << c.What;
    EXPECT_FALSE(Exists(dir.At("new"))) << c.What;
    EXPECT_FALSE(Exists(dir.At("evil.txt"))) << c.What;
  }
  TZipArchive archive;
  const std::string zip = MakeZip({{"php-cgi.exe", "cgi"}, {"ext/a.dll", "a"}});
  ASSERT_EQ(archive.Open(zip), "");
  ASSERT_EQ(Unpack(archive, dir.At("new"), ops), "");
  EXPECT_EQ(Slurp(dir.At("new/ext/a.dll")), "a");
}
