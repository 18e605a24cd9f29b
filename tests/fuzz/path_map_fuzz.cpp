// path_map_fuzz.cpp - a request target through URL decoding, the path mapping
// and the root check, against a site with a sibling folder and files beside
// it: a mapped file must lie inside the root, or the run aborts.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "http/ostrel.h"
#include "support/temp_dir.h"

namespace {

// A directory named without its slash outside the root still gets its
// redirect target today; once the root check comes first, this turns on.
constexpr bool kRedirectsStayInside = true;

struct TSite {
  TSite() : Dir("fuzzsite") {
    for (const char* f : {"index.html", "a.txt", "page.php", "sub/index.php", "sub/deeper/f.txt",
                          "both/index.html", "both/index.php", "dir.with.dots/readme"})
      Dir.Write(std::string("www/") + f, f);
    Dir.MakeDir("www/empty");
    // Siblings whose names start with the root's, and files beside it.
    for (const char* f : {"www2/secret.txt", "www2/index.html", "wwwdata/secret.txt", "outdir/index.php",
                          "outside.txt", "www.txt"})
      Dir.Write(f, f);
    Root = Dir.At("www");
    CanonicalRoot = Canonical(Root);
    if (CanonicalRoot.empty()) std::abort();
  }

  static std::string Canonical(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
  }

  bool Inside(const std::string& path) const {
    const std::string real = Canonical(path);
    return real == CanonicalRoot || real.compare(0, CanonicalRoot.size() + 1, CanonicalRoot + "/") == 0;
  }

  TTempDir Dir;
  std::string Root, CanonicalRoot;
};

[[noreturn]] void Escaped(const std::string& url, const std::string& mapped) {
  std::fprintf(stderr, "url \"%s\" mapped to \"%s\", outside the root\n", url.c_str(), mapped.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TSite site;
  const std::string target(reinterpret_cast<const char*>(data), size);
  const std::string url = TOstrel::GetRequestField("GET " + target + " HTTP/1.1\r\n\r\n", "url");
  const std::string mapped = TOstrel::MapUrlToFile(site.Root, url, "index.html|index.php|", "|");
  if (mapped.empty()) return 0;
  if (mapped.back() != '/') {
    // A file to serve: inside the root by its text and on the disk.
    if (mapped.compare(0, site.Root.size() + 1, site.Root + "/") != 0 || !site.Inside(mapped)) Escaped(url, mapped);
  } else if (kRedirectsStayInside && !site.Inside(site.Root + mapped)) {
    Escaped(url, mapped);
  }
  return 0;
}
