// Path forms, the root check and the mapping of URL paths to files of a real
// site tree: every way out of the root is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "http/ostrel.h"
#include "http/site_tree.h"

namespace {

const std::string kDocs = "index.html|index.php|";

TEST(PathForm, SeparatorsAreTurnedAndCollapsed) {
  const std::pair<const char*, const char*> win[] = {
      {"/a/b", "\\a\\b"}, {"a//b///c", "a\\b\\c"}, {"\\\\server\\share", "\\server\\share"},
      {"C:/x/\\y", "C:\\x\\y"}, {"", ""},
  };
  for (const auto& [in, out] : win) EXPECT_EQ(out, TOstrel::ToWinPath(in)) << in;
  const std::pair<const char*, const char*> url[] = {
      {"\\a\\b", "/a/b"}, {"a//b///c", "a/b/c"}, {"\\\\/a", "/a"}, {"", ""},
  };
  for (const auto& [in, out] : url) EXPECT_EQ(out, TOstrel::ToUrlPath(in)) << in;
}

TEST(PathForm, CombinePathResolvesDotsAndNeverClimbsAboveTheRoot) {
#ifdef _WIN32
  const struct {
    const char *File, *Dir, *Out;
  } cases[] = {
      {"b\\c.txt", "C:\\a", "C:\\a\\b\\c.txt"}, {"..\\b", "C:\\a", "C:\\b"},
      {"C:\\a\\.\\b\\..\\c", "", "C:\\a\\c"},   {"C:\\..\\..\\x", "", "C:\\x"},
      {"D:\\y", "C:\\a", "D:\\y"},               {"C:/a//b/../c", "", "C:\\a\\c"},
  };
#else
  const struct {
    const char *File, *Dir, *Out;
  } cases[] = {
      {"b/c.txt", "/a", "/a/b/c.txt"}, {"../b", "/a", "/b"},       {"/a/./b/../c", "", "/a/c"},
      {"/../../x", "", "/x"},          {"/y", "/a", "/y"},         {"//a//b/../c", "", "/a/c"},
      {"a/b", "", ""},  // relative with no directory: nothing to anchor it
  };
#endif
  for (const auto& c : cases) EXPECT_EQ(c.Out, TOstrel::CombinePath(c.File, c.Dir)) << c.File << " in " << c.Dir;
}

TEST(MapUrlToFile, FilesDirectoriesAndDefaultDocuments) {
  TSiteTree site;
  const std::pair<const char*, std::string> cases[] = {
      {"/a.txt", site.File("www/a.txt")},
      {"/", site.File("www/index.html")},
      {"/sub/", site.File("www/sub/index.php")},
      {"/both/", site.File("www/both/index.html")},  // index.html before index.php
      {"/sub", "/sub/"},                               // a folder without its slash: redirect
      {"/sub/deeper", "/sub/deeper/"},
      {"/sub/deeper/folder/", ""},                     // no default document
      {"/empty/", ""},
      {"/missing.txt", ""},
      {"/missing/", ""},
      {"/space name.txt", site.File("www/space name.txt")},
      {"/dir.with.dots/readme", site.File("www/dir.with.dots/readme")},
      {"/sub/../a.txt", site.File("www/a.txt")},
      {"/../www/a.txt", site.File("www/a.txt")},
      {"/sub/deeper/../../a.txt", site.File("www/a.txt")},
  };
  for (const auto& [url, expected] : cases)
    EXPECT_EQ(expected, TOstrel::MapUrlToFile(site.Root, url, kDocs, "|")) << url;
  // A root given with a trailing separator maps the same.
  EXPECT_EQ(site.File("www/a.txt"), TOstrel::MapUrlToFile(site.Root + "/", "/a.txt", kDocs, "|"));
}

TEST(MapUrlToFile, EveryWayOutOfTheRootIsRefused) {
  TSiteTree site;
  const char* const targets[] = {
      "/../outside.txt",
      "/..%2foutside.txt",
      "/%2e%2e/outside.txt",
      "/%2E%2E%2Foutside.txt",
      "/.%2e/outside.txt",
      "/%5c..%5coutside.txt",
      "/..\\outside.txt",
      "/\\..\\outside.txt",
      "//..//outside.txt",
      "/sub/../../outside.txt",
      "/sub/deeper/../../../outside.txt",
      "/../www2/secret.txt",         // siblings whose names start with the root's
      "/../wwwdata/secret.txt",
      "/../www2/",
      "/../www.txt",
      "/../outdir/",                 // a folder outside with a default document
      "/../outdir/secret.php",
      // Folders outside named without their slash: no redirect tells they exist.
      "/..", "/%2e%2e", "/../outdir", "/../www2", "/sub/../..", "/sub/deeper/../../../outdir",
      "/../../../../../../../../../../outside.txt",
      "/%2e%2e/%2e%2e/%2e%2e/%2e%2e/%2e%2e/%2e%2e/%2e%2e/%2e%2e/etc/passwd",
      "/..%c0%afoutside.txt",        // an overlong UTF-8 slash stays two bytes
      "/..%252foutside.txt",         // decoded once only
      "/..+/outside.txt",
      // Fullwidth dots and slashes, which a code-page conversion may turn into ASCII ones.
      "/%EF%BC%8E%EF%BC%8E/outside.txt",
      "/..%EF%BC%8Foutside.txt",
      "/..%EF%BC%BCoutside.txt",
      "/%EF%BC%8E%EF%BC%8E%EF%BC%8F%EF%BC%8E%EF%BC%8E%EF%BC%8Foutside.txt",
  };
  for (const char* target : targets) {
    std::string url = TOstrel::GetRequestField(std::string("GET ") + target + " HTTP/1.1\r\n\r\n", "url");
    EXPECT_EQ("", TOstrel::MapUrlToFile(site.Root, url, kDocs, "|")) << target << " as " << url;
  }
}

TEST(MapUrlToFile, PathsWithControlBytesNameNothingEvenWhereTheFolderExists) {
  TSiteTree site;
  // DEL is a valid name byte on both systems; Linux also takes CR and LF.
  std::error_code ignored;
  std::filesystem::create_directory(site.Root + "/del\x7f", ignored);
  std::filesystem::create_directory(site.Root + "/ctl\r\nX-Injected: 1", ignored);
  const char* const targets[] = {
      "/del%7f",
      "/ctl%0d%0aX-Injected:%201",
      // Windows resolves ".." by its text, so this names the existing /sub.
      "/sub/%0d%0aX-Injected:%201/..",
      "/sub/%0aX/..",
      "/sub/%09/..",
  };
  for (const char* target : targets) {
    std::string url = TOstrel::GetRequestField(std::string("GET ") + target + " HTTP/1.1\r\n\r\n", "url");
    EXPECT_EQ("", TOstrel::MapUrlToFile(site.Root, url, kDocs, "|")) << target;
  }
  EXPECT_EQ("/sub/deeper/../", TOstrel::MapUrlToFile(site.Root, "/sub/deeper/..", kDocs, "|"));
}

TEST(CheckInRoot, OnlyExistingFilesBelowTheRootPass) {
  TSiteTree site;
  const std::pair<std::string, std::string> cases[] = {
      {site.Root + "/a.txt", site.File("www/a.txt")},
      {site.Root + "/sub/./deeper/../index.php", site.File("www/sub/index.php")},
      {site.Root + "/../outside.txt", ""},
      {site.Base + "/www2/secret.txt", ""},
      {site.Base + "/wwwdata/secret.txt", ""},
      {site.Base + "/www.txt", ""},
      {site.Root + "/sub", ""},       // a folder is not a file
      {site.Root, ""},
      {site.Root + "/missing.txt", ""},
      {"", ""},
  };
  for (const auto& [file, expected] : cases) EXPECT_EQ(expected, TOstrel::CheckInRoot(site.Root, file)) << file;
  EXPECT_EQ(site.File("www/a.txt"), TOstrel::CheckInRoot(site.Root + "/", site.Root + "/a.txt"));
  EXPECT_EQ("", TOstrel::CheckInRoot(site.Root + "/sub", site.Root + "/a.txt"));
}

TEST(FindDefaultDoc, TriesTheListInOrderAndSkipsBlankEntries) {
  TSiteTree site;
  const std::string both = site.Root + "/both";
  EXPECT_EQ(site.File("www/both/index.html"), TOstrel::FindDefaultDoc(both, "index.html|index.php|", "|"));
  EXPECT_EQ(site.File("www/both/index.php"), TOstrel::FindDefaultDoc(both, "index.php|index.html", "|"));
  EXPECT_EQ(site.File("www/both/index.php"), TOstrel::FindDefaultDoc(both, "|  |missing.htm|index.php", "|"));
  EXPECT_EQ(site.File("www/both/index.php"), TOstrel::FindDefaultDoc(both, "noneXXindex.php", "xx"));
  EXPECT_EQ("", TOstrel::FindDefaultDoc(both, " index.html", "|"));  // entries are not trimmed
  EXPECT_EQ("", TOstrel::FindDefaultDoc(site.Root + "/sub", "index.html|", "|"));
  EXPECT_EQ("", TOstrel::FindDefaultDoc(both, "", "|"));
}

#ifdef _WIN32
TEST(MapUrlToFile, WindowsAliasesOfAPageAreRefused) {
  TSiteTree site;
  // Each opens page.php on Windows, but would not end in ".php" for the dispatch.
  for (const char* target : {"/page.php.", "/page.php%20", "/page.php::$DATA", "/page.php:$DATA",
                             "/page.php...", "/page.php.%20.", "/PAGE.PHP.", "/sub/index.php."}) {
    std::string url = TOstrel::GetRequestField(std::string("GET ") + target + " HTTP/1.1\r\n\r\n", "url");
    EXPECT_EQ("", TOstrel::MapUrlToFile(site.Root, url, kDocs, "|")) << target;
    EXPECT_EQ("", TOstrel::CheckInRoot(site.Root, site.Root + url)) << target;
  }
  EXPECT_EQ(site.File("www/page.php"), TOstrel::MapUrlToFile(site.Root, "/page.php", kDocs, "|"));
}

TEST(MapUrlToFile, WindowsDriveAndShareFormsAreRefused) {
  TSiteTree site;
  const std::string outside = site.File("outside.txt");  // C:\...\outside.txt
  const std::string outsideUrl = TOstrel::ToUrlPath(outside);  // "/" + a temporary: a false -Wrestrict at -O3
  const std::string targets[] = {
      "/" + outside,  "/" + outsideUrl, "//" + outsideUrl,
      "/C:/windows/win.ini", "/C:%5cwindows%5cwin.ini", "/c:", "/C:..\\outside.txt",
      "//server/share/file.txt", "/%5c%5cserver%5cshare%5cfile.txt", "/\\\\%3f\\" + outside,
      "/\\\\.\\" + outside,
  };
  for (const auto& target : targets) {
    std::string url = TOstrel::GetRequestField("GET " + target + " HTTP/1.1\r\n\r\n", "url");
    std::string mapped = TOstrel::MapUrlToFile(site.Root, url, kDocs, "|");
    EXPECT_TRUE(mapped.empty() || mapped.back() == '/' || mapped.rfind(site.Root + "\\", 0) == 0)
        << target << " gave " << mapped;
    EXPECT_EQ("", TOstrel::CheckInRoot(site.Root, url)) << target;
  }
  EXPECT_EQ("", TOstrel::CheckInRoot(site.Root, "\\\\server\\share\\file.txt"));
  EXPECT_EQ("", TOstrel::CheckInRoot(site.Root, outside));
}

TEST(CheckInRoot, WindowsRootComparesWithoutRegardToCase) {
  TSiteTree site;
  std::string upper = site.Root;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  EXPECT_EQ(site.File("www/a.txt"), TOstrel::CheckInRoot(upper, site.Root + "\\a.txt"));
  EXPECT_EQ(site.File("www/A.TXT").size(), TOstrel::MapUrlToFile(site.Root, "/A.TXT", kDocs, "|").size());
}
#endif

}  // namespace
