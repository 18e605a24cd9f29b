// Random request heads and URLs, from a fixed seed, through the field lookups
// and the path mapping: nothing crashes and no file outside the root comes out.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "http/ostrel.h"
#include "http/site_tree.h"

namespace {

const char* const kPieces[] = {
    "/",       "//",     "\\",      "..",      ".",      "%2e",    "%2E%2e", "%2f",     "%5c",  "%5C",
    "%00",     "%zz",    "%",       "%2",      "+",      "%2B",    " ",      "?",       "#",    ":",
    "::$DATA", "C:",     "www",     "www2",    "wwwdata", "sub",   "deeper", "outdir",  "both", "empty",
    "a.txt",   "page.php", "index.html", "index.php", "outside.txt", "secret.txt", "secret.php",
    "%c0%af",  "%C3%A9", "%ff",    "%EF%BC%8E", "%EF%BC%8F", "%EF%BC%BC",    "\r\n",    "\t",     "~",      "*",      "dir.with.dots", "readme",
};

std::string RandomTarget(std::mt19937& rng) {
  std::uniform_int_distribution<int> count(1, 14), piece(0, std::size(kPieces) - 1), byte(1, 255), coin(0, 9);
  std::string target = coin(rng) < 8 ? "/" : "";
  for (int n = count(rng); n > 0; --n) {
    if (coin(rng) == 0) target.push_back(static_cast<char>(byte(rng)));
    else target += kPieces[piece(rng)];
  }
  return target;
}

std::string RandomHead(std::mt19937& rng, const std::string& target) {
  std::uniform_int_distribution<int> coin(0, 9), byte(0, 255), len(0, 40);
  std::string head = (coin(rng) < 7 ? "GET " : "POST ") + target + (coin(rng) < 8 ? " HTTP/1.1\r\n" : "\r\n");
  for (int n = coin(rng); n > 0; --n) {
    head += coin(rng) < 5 ? "Accept" : "X-Random";
    head += coin(rng) < 7 ? ": " : " ";
    for (int k = len(rng); k > 0; --k) head.push_back(static_cast<char>(byte(rng)));
    head += "\r\n";
  }
  return head + "\r\n";
}

bool SameFile(const std::string& a, const std::string& b) {
#ifdef _WIN32
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
#else
  return a == b;
#endif
}

bool InsideRoot(const std::string& root, const std::string& path) {
  const std::string r = TOstrel::ToNativePath(root);
  return path.size() >= r.size() && SameFile(path.substr(0, r.size()), r) &&
         (path.size() == r.size() || path[r.size()] == TOstrel::PathDelim());
}

TEST(PathFuzz, RandomRequestsNeverReachAFileOutsideTheRoot) {
  TSiteTree site;
  const auto inside = site.InsideFiles();
  const auto outside = site.OutsideFiles();
  std::mt19937 rng(20240611);
  int files = 0, redirects = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::string head = RandomHead(rng, RandomTarget(rng));
    // The lookups must cope with any bytes.
    TOstrel::GetRequestField(head, "method");
    TOstrel::GetRequestField(head, "query");
    TOstrel::GetRequestField(head, "Accept");
    const std::string url = TOstrel::GetRequestField(head, "url");
    const std::string mapped = TOstrel::MapUrlToFile(site.Root, url, "index.html|index.php|", "|");
    if (mapped.empty()) continue;
    if (mapped.back() == '/') {  // a redirect target: a URL, never a file that is sent
      ++redirects;
      // It becomes the Location line, and must name a folder of the site.
      ASSERT_TRUE(std::none_of(mapped.begin(), mapped.end(), [](char c) { return c >= 0 && c < 0x20; }))
          << "request " << i << "\n" << head;
      ASSERT_TRUE(InsideRoot(site.Root, TOstrel::CombinePath(site.Root + mapped, "")))
          << "request " << i << " redirected to " << mapped << "\n" << head;
      continue;
    }
    ++files;
    bool known = std::any_of(inside.begin(), inside.end(), [&](const std::string& f) { return SameFile(f, mapped); });
    bool escaped = std::any_of(outside.begin(), outside.end(), [&](const std::string& f) { return SameFile(f, mapped); });
    ASSERT_FALSE(escaped) << "request " << i << " reached " << mapped << "\n" << head;
    ASSERT_TRUE(known) << "request " << i << " mapped to an unexpected " << mapped << "\n" << head;
  }
  // The generator must also reach real files, or the test proves nothing.
  EXPECT_GT(files, 20);
  EXPECT_GT(redirects, 5);
}

TEST(PathFuzz, RandomBytesAsTheWholeHeadDoNotBreakTheLookups) {
  TSiteTree site;
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> len(0, 300), byte(0, 255);
  for (int i = 0; i < 1500; ++i) {
    std::string head;
    for (int n = len(rng); n > 0; --n) head.push_back(static_cast<char>(byte(rng)));
    for (const char* name : {"method", "url", "query", "Host", ""}) TOstrel::GetRequestField(head, name);
    std::string mapped = TOstrel::MapUrlToFile(site.Root, TOstrel::GetRequestField(head, "url"), "index.html|", "|");
    if (!mapped.empty() && mapped.back() != '/') {
      EXPECT_EQ(0u, mapped.rfind(TOstrel::ToNativePath(site.Root + "/"), 0)) << mapped;
    }
  }
}

}  // namespace
