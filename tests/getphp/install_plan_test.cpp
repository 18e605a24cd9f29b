// install_plan_test.cpp - the moves that put PHP into the php folder: what
// they keep, and that a move failing at any step leaves the folder as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "getphp/install_plan.h"
#include "support/temp_dir.h"

namespace {

using TKind = TFolderOps::TKind;

// The real file system, failing the nth move (0: none).
class TFailingOps : public TSystemFolderOps {
 public:
  explicit TFailingOps(int failAt) : FFailAt(failAt) {}
  std::string Move(const std::string& from, const std::string& to) override {
    if (++FMoves == FFailAt) return "the disk said no";
    return TSystemFolderOps::Move(from, to);
  }
  int Moves() const { return FMoves; }

 private:
  int FFailAt, FMoves = 0;
};

// Every file and folder under root with its bytes.
std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> tree;
  if (!std::filesystem::exists(root)) return tree;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    const std::string relative = std::filesystem::relative(e.path(), root).generic_string();
    tree[relative] = e.is_directory() ? "<folder>" : Slurp(e.path().string());
  }
  return tree;
}

}  // namespace

TEST(InstallPlan, KeepsTheUsersFilesAndSetsAsideWhatIsReplaced) {
  const std::map<std::string, TKind> php = {{"php-cgi.exe", TKind::File},
                                            {"ext", TKind::Folder},
                                            {"ext/php_curl.dll", TKind::File},
                                            {"lib", TKind::File},
                                            {"news.txt", TKind::Folder}};
  const auto kind = [&](const std::string& path) {
    auto at = php.find(path);
    return at == php.end() ? TKind::None : at->second;
  };
  const std::vector<std::string> names = {
      "php-cgi.exe",    "php.ini",           "conf.d/x.ini", "Temp/", "ext/php_curl.dll",
      "ext/php_gd.dll", "lib/enchant/a.dll", "news.txt",     "dev/"};
  const std::vector<TInstallStep> expected = {
      {TInstallStep::SetAside, "lib"},  // a file where the archive has a folder
      {TInstallStep::MakeFolder, "lib"},
      {TInstallStep::MakeFolder, "dev"},
      {TInstallStep::MakeFolder, "lib/enchant"},
      {TInstallStep::SetAside, "php-cgi.exe"},
      {TInstallStep::PutIn, "php-cgi.exe"},
      {TInstallStep::SetAside, "ext/php_curl.dll"},
      {TInstallStep::PutIn, "ext/php_curl.dll"},
      {TInstallStep::PutIn, "ext/php_gd.dll"},
      {TInstallStep::PutIn, "lib/enchant/a.dll"},
      {TInstallStep::SetAside, "news.txt"},  // a folder where the archive has a file
      {TInstallStep::PutIn, "news.txt"},
  };
  EXPECT_EQ(PlanInstall(names, kind), expected);
}

TEST(InstallPlan, AFailedMoveAtAnyStepLeavesThePhpFolderAsItWas) {
  const std::vector<std::string> names = {"php-cgi.exe", "php8.dll", "ext/", "ext/php_curl.dll", "dev/a.lib"};
  for (int failAt = 1;; ++failAt) {
    TTempDir dir("ostrel-install");
    dir.Write("php/php-cgi.exe", "old cgi");
    dir.Write("php/ext/php_curl.dll", "old curl");
    dir.Write("php/conf.d/mine.ini", "mine");
    dir.Write("php/php.ini", "written at Start");
    for (const char* name : {"php-cgi.exe", "php8.dll", "ext/php_curl.dll", "dev/a.lib"})
      dir.Write(std::string("new/") + name, std::string("new ") + name);
    const auto before = Tree(dir.At("php"));
    const TInstallFolders folders{dir.At("php"), dir.At("new"), dir.At("aside")};
    TFailingOps ops(failAt);
    const auto kind = [&](const std::string& path) {
      return ops.KindOf((std::filesystem::path(folders.Php) / path).string());
    };
    const std::string error = CarryOut(PlanInstall(names, kind), folders, ops);
    EXPECT_FALSE(Exists(folders.SetAside)) << failAt;
    if (error.empty()) {
      // The last round: no step was left to fail.
      EXPECT_EQ(Slurp(dir.At("php/php-cgi.exe")), "new php-cgi.exe");
      EXPECT_EQ(Slurp(dir.At("php/ext/php_curl.dll")), "new ext/php_curl.dll");
      EXPECT_EQ(Slurp(dir.At("php/dev/a.lib")), "new dev/a.lib");
      EXPECT_EQ(Slurp(dir.At("php/conf.d/mine.ini")), "mine");
      EXPECT_EQ(Slurp(dir.At("php/php.ini")), "written at Start");
      EXPECT_GT(failAt, 4);
      break;
    }
    EXPECT_EQ(Tree(folders.Php), before) << "failing at move " << failAt << ": " << error;
  }
}
