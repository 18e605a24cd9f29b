// path_map_fuzz.cpp - a request target through URL decoding, the path mapping
// and the root check, against a site with a sibling folder and files beside
// it: a mapped file must lie inside the root, and a redirect must name a
// folder inside it with no control byte for its Location line, or the run
// aborts. Its seeds also run as a test of every build (seeds_main.cpp).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/program_env.h"
#include "http/ostrel.h"
#include "support/temp_dir.h"

namespace {

struct TSite {
  TSite() : Dir("fuzzsite") {
    for (const char* f : {"index.html", "a.txt", "page.php", "sub/index.php", "sub/deeper/f.txt",
                          "both/index.html", "both/index.php", "dir.with.dots/readme"})
      Dir.Write(std::string("www/") + f, f);
    Dir.MakeDir("www/empty");
    Dir.MakeDir("www/sub/deeper/folder");
    // Siblings whose names start with the root's, and files beside it.
    for (const char* f : {"www2/secret.txt", "www2/index.html", "wwwdata/secret.txt", "outdir/index.php",
                          "outdir/index.html", "outside.txt", "www.txt"})
      Dir.Write(f, f);
    Root = Dir.At("www");
    CanonicalRoot = Canonical(Root);
    if (CanonicalRoot.empty()) std::abort();
  }

  // Names compare as the platform's file system compares them.
  static std::string Folded(std::string path) {
    if (PathDelim() == '\\')
      for (char& c : path)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return path;
  }

  static std::string Canonical(const std::string& path) {
    std::error_code error;
    std::filesystem::path real = std::filesystem::canonical(path, error);
    return error ? std::string() : Folded(real.make_preferred().string());
  }

  bool Inside(const std::string& path) const {
    const std::string real = Canonical(path);
    return real == CanonicalRoot || real.compare(0, CanonicalRoot.size() + 1, CanonicalRoot + PathDelim()) == 0;
  }

  TTempDir Dir;
  std::string Root, CanonicalRoot;
};

bool HasControlByte(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

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
    const std::string prefix = site.Folded(site.Root + PathDelim());
    if (site.Folded(mapped).compare(0, prefix.size(), prefix) != 0 || !site.Inside(mapped)) Escaped(url, mapped);
  } else if (HasControlByte(mapped) || !site.Inside(site.Root + mapped)) {
    Escaped(url, mapped);
  }
  return 0;
}
