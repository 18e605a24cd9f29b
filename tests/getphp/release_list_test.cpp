// release_list_test.cpp - which build the set-up takes from a release list,
// and which addresses it reads from.
#include <gtest/gtest.h>

#include "getphp/release_list.h"
#include "getphp/url.h"

namespace {

std::string Build(const std::string& zip, const std::string& sha = std::string(64, 'A')) {
  return R"({"zip":{"path":")" + zip + R"(","size":"31.18MB","sha256":")" + sha + R"("}})";
}

}  // namespace

TEST(ReleaseList, TakesTheNewestNonThreadSafeX64BuildWithTheHighestToolset) {
  const std::string list = R"({"8.4":{"version":"8.4.16","nts-vs17-x64":)" + Build("old.zip") +
                           R"(},"8.10":{"version":"8.10.1","source":{"path":"src.zip"},"ts-vs17-x64":)" +
                           Build("ts.zip") + R"(,"nts-vs17-x86":)" + Build("x86.zip") + R"(,"nts-vs17-x64":)" +
                           Build("new17.zip") + R"(,"nts-vs16-x64":)" + Build("new16.zip") +
                           R"(},"8.9":{"version":"8.9.12","nts-vs17-x64":)" + Build("89.zip") + "}}";
  TPhpRelease release;
  ASSERT_EQ(ChooseRelease(list, release), "");
  EXPECT_EQ(release.Version, "8.10.1");
  EXPECT_EQ(release.Build, "nts-vs17-x64");
  EXPECT_EQ(release.ZipName, "new17.zip");
  EXPECT_EQ(release.Sha256, std::string(64, 'a'));
  EXPECT_EQ(release.Size, 32694600u);
}

TEST(ReleaseList, UnusableListsAndEntries) {
  const struct {
    std::string List;
    std::string Chosen;  // the zip taken, or "" when none is
  } cases[] = {
      {"not json", ""},
      {"[1,2]", ""},
      {R"({"8.5":{"version":"8.5.2","ts-vs17-x64":)" + Build("ts.zip") + R"(,"nts-vs17-x86":)" + Build("x86.zip") +
           "}}",
       ""},
      // An entry that could send the download elsewhere, or lacks its checksum,
      // is passed over for an older one.
      {R"({"8.5":{"version":"8.5.2","nts-vs17-x64":)" + Build("../x.zip") +
           R"(},"8.4":{"version":"8.4.1","nts-vs17-x64":)" + Build("ok.zip") + "}}",
       "ok.zip"},
      {R"({"8.5":{"version":"8.5.2","nts-vs17-x64":)" + Build("sub/x.zip") + "}}", ""},
      {R"({"8.5":{"version":"8.5.2","nts-vs17-x64":)" + Build("x.zip", "12ab") + "}}", ""},
      {R"({"8.5":{"version":"8.5.2","nts-vs17-x64":{"zip":"x.zip"}}})", ""},
      {R"({"8.5":{"version":"","nts-vs17-x64":)" + Build("x.zip") + "}}", ""},
      {R"({"8.5":{"version":"8.5.2 is ready\r\nPHP 9","nts-vs17-x64":)" + Build("x.zip") + "}}", ""},
  };
  for (const auto& c : cases) {
    TPhpRelease release;
    const std::string why = ChooseRelease(c.List, release);
    if (c.Chosen.empty())
      EXPECT_NE(why, "") << c.List;
    else
      EXPECT_EQ(release.ZipName, c.Chosen) << c.List;
  }
}

TEST(ReleaseList, SizesAndTheDownloadLimit) {
  EXPECT_EQ(SizeFromText("31.18MB"), 32694600u);
  EXPECT_EQ(SizeFromText("812 kB"), 831488u);
  EXPECT_EQ(SizeFromText("1024"), 1024u);
  EXPECT_EQ(SizeFromText("MB"), 0u);
  EXPECT_EQ(SizeFromText("-3MB"), 0u);
  EXPECT_EQ(SizeFromText("3 parsecs"), 0u);
  TPhpRelease release;
  EXPECT_EQ(DownloadLimit(release), kMaxZipBytes);  // no size given
  release.Size = 30 * 1024 * 1024;
  EXPECT_EQ(DownloadLimit(release), 30u * 1024 * 1024 * 21 / 20 + 1024 * 1024);
  release.Size = 10ull * 1024 * 1024 * 1024;
  EXPECT_EQ(DownloadLimit(release), kMaxZipBytes);
}

TEST(ReleaseAddress, PlainHttpOnlyFromThisComputer) {
  const struct {
    const char* Url;
    bool Taken;
  } cases[] = {
      {"https://downloads.php.net/~windows/releases/releases.json", true},
      {"HTTPS://example.org:8443/r.json", true},
      {"http://127.0.0.1:8080/releases.json", true},
      {"http://127.45.0.3/r.json", true},
      {"http://localhost:81/r.json", true},
      {"http://[::1]:8080/r.json", true},
      {"http://downloads.php.net/~windows/releases/releases.json", false},
      {"http://127.0.0.1.example.org/r.json", false},
      {"http://127.0.0.1@example.org/r.json", false},
      {"http://0x7f.0.0.1/r.json", false},
      {"http://127.0.0.1:99999/r.json", false},
      {"http://127.0.0.1:/r.json", false},
      {"ftp://127.0.0.1/r.json", false},
      {"file:///C:/r.json", false},
      {"https://exa mple.org/r.json", false},
      {"https:///r.json", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(RefusalOf(c.Url).empty(), c.Taken) << c.Url;
}

TEST(ReleaseAddress, ZipsBesideTheListAndRedirectsOnTheSameHostOnly) {
  const std::string list = "https://h.example/~windows/releases/releases.json?x=1";
  EXPECT_EQ(Beside(list, "php.zip"), "https://h.example/~windows/releases/php.zip");
  EXPECT_EQ(Beside(list, "archives/php.zip"), "https://h.example/~windows/releases/archives/php.zip");
  EXPECT_EQ(Beside("https://h.example", "php.zip"), "https://h.example/php.zip");
  const std::string zip = "https://h.example/r/php.zip";
  EXPECT_EQ(FollowOnSameHost(zip, "/r/archives/php.zip"), "https://h.example/r/archives/php.zip");
  EXPECT_EQ(FollowOnSameHost(zip, "archives/php.zip"), "https://h.example/r/archives/php.zip");
  EXPECT_EQ(FollowOnSameHost(zip, "https://H.EXAMPLE:443/x.zip"), "https://H.EXAMPLE:443/x.zip");
  EXPECT_EQ(FollowOnSameHost(zip, "https://cdn.example/x.zip"), "");
  EXPECT_EQ(FollowOnSameHost(zip, "//cdn.example/x.zip"), "");
  EXPECT_EQ(FollowOnSameHost(zip, "http://h.example/x.zip"), "");
}
