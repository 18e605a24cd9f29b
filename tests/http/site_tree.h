// site_tree.h - a site root with files, folders and default documents, and
// siblings outside it that no URL may reach, laid out in a temporary folder.
#pragma once
#include <string>
#include <vector>

#include "http/ostrel.h"
#include "support/temp_dir.h"

class TSiteTree {
 public:
  TSiteTree() : FDir("site") {
    for (const char* f : kInside) FDir.Write(std::string("www/") + f, f);
    for (const char* f : kOutside) FDir.Write(f, f);
    FDir.MakeDir("www/empty");
    FDir.MakeDir("www/sub/deeper/folder");
    Base = FDir.Path();
    Root = FDir.At("www");
  }

  // The path that the mapping gives for a file of the tree, in the platform's form.
  std::string File(const std::string& relative) const { return TOstrel::ToNativePath(Base + "/" + relative); }

  std::vector<std::string> InsideFiles() const { return Files(kInside, "www/"); }
  std::vector<std::string> OutsideFiles() const { return Files(kOutside, ""); }

  std::string Base;  // the folder that holds the root and its siblings
  std::string Root;  // Base + "www"

  static constexpr const char* kInside[] = {
      "index.html",        "a.txt",           "page.php",          "space name.txt",
      "sub/index.php",     "sub/deeper/f.txt", "both/index.html",  "both/index.php",
      "dir.with.dots/readme", "empty/readme.txt",
  };
  static constexpr const char* kOutside[] = {
      "outside.txt",  "www2/secret.txt",   "wwwdata/secret.txt", "www2/index.html",
      "outdir/index.html", "outdir/secret.php", "www.txt",
  };

 private:
  template <std::size_t N>
  std::vector<std::string> Files(const char* const (&names)[N], const std::string& prefix) const {
    std::vector<std::string> out;
    for (const char* f : names) out.push_back(File(prefix + f));
    return out;
  }

  TTempDir FDir;
};
