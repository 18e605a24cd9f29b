// dir_list_test.cpp - the shared-directory list's rules through the real list
// file: move-to-end on a repeated add, drive roots, deletes, blank lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/program_env.h"
#include "config/dir_list.h"
#include "config/dir_list_file.h"
#include "support/temp_dir.h"

namespace {

// A temporary application directory with a www folder, reported by GetAppDir.
class DirListFile : public ::testing::Test {
 protected:
  DirListFile() {
    FDir.MakeDir("www");
    OverrideAppDir(FDir.Path());
  }
  ~DirListFile() override { OverrideAppDir(""); }

  std::string ListPath() const { return FDir.At("www/dirs.ini"); }
  std::string FileText() const {
    std::ifstream in(ListPath(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void WriteFile(const std::string& bytes) const { FDir.Write("www/dirs.ini", bytes); }

  TTempDir FDir{"dirlist"};
};

using Items = std::vector<std::string>;

}  // namespace

TEST_F(DirListFile, RepeatedAddMovesTheEntryToTheEndInItsNewSpelling) {
  WriteFile("c:\\data\r\nE:\\Music\r\n");
  TDirList list;
  list.Load();
  std::size_t removed = TDirList::npos;
  ASSERT_TRUE(list.Add("C:\\Data", &removed));
  EXPECT_EQ(0u, removed);
  list.Save();
  EXPECT_EQ((Items{"E:\\Music", "C:\\Data"}), list.Items());
  EXPECT_EQ("E:\\Music\r\nC:\\Data\r\n", FileText());
}

TEST_F(DirListFile, OnlyTheFirstEqualEntryIsReplaced) {
  WriteFile("C:\\A\r\nc:\\a\r\nD:\\B\r\n");
  TDirList list;
  list.Load();
  list.Add("C:\\a");
  EXPECT_EQ((Items{"c:\\a", "D:\\B", "C:\\a"}), list.Items());
}

TEST_F(DirListFile, DriveRootIsStoredAsLetterAndColon) {
  TDirList list;
  list.Add("D:\\");
  list.Add("E:\\Photos");
  list.Save();
  EXPECT_EQ((Items{"D:", "E:\\Photos"}), list.Items());
  EXPECT_EQ("D:\r\nE:\\Photos\r\n", FileText());
  // Adding the root again finds "D:" and moves it.
  list.Add("d:\\");
  EXPECT_EQ((Items{"E:\\Photos", "d:"}), list.Items());
}

TEST_F(DirListFile, CancelledBrowserChangesAndWritesNothing) {
  TDirList list;
  std::size_t removed = 7;
  EXPECT_FALSE(list.Add("", &removed));
  EXPECT_EQ(TDirList::npos, removed);
  EXPECT_TRUE(list.Items().empty());
  EXPECT_FALSE(std::filesystem::exists(ListPath()));
}

TEST_F(DirListFile, DeletingTheLastItemLeavesAZeroByteFile) {
  WriteFile("C:\\Only\r\n");
  TDirList list;
  list.Load();
  list.Delete(0);
  list.Save();
  EXPECT_TRUE(list.Items().empty());
  ASSERT_TRUE(std::filesystem::exists(ListPath()));
  EXPECT_EQ(0u, std::filesystem::file_size(ListPath()));
  list.Delete(0);  // nothing left: no effect
  EXPECT_TRUE(list.Items().empty());
}

TEST_F(DirListFile, BlankLinesAreSkippedAndDroppedAtTheNextSave) {
  WriteFile("\r\nC:\\One\r\n   \r\n\t\r\n D:\\Two \nE:\\Three");
  TDirList list;
  list.Load();
  EXPECT_EQ((Items{"C:\\One", " D:\\Two ", "E:\\Three"}), list.Items());
  list.Add("F:\\Four");
  list.Save();
  EXPECT_EQ("C:\\One\r\n D:\\Two \r\nE:\\Three\r\nF:\\Four\r\n", FileText());
}

TEST_F(DirListFile, DuplicatesInTheFileShowTwiceAndDeleteOneAtATime) {
  WriteFile("C:\\Same\r\nC:\\Same\r\n");
  TDirList list;
  list.Load();
  EXPECT_EQ((Items{"C:\\Same", "C:\\Same"}), list.Items());
  list.Delete(1);
  list.Save();
  EXPECT_EQ("C:\\Same\r\n", FileText());
}

TEST_F(DirListFile, MissingFileLoadsEmpty) {
  TDirList list;
  list.Add("C:\\Stale");
  list.Load();
  EXPECT_TRUE(list.Items().empty());
}

TEST_F(DirListFile, UnwritableListRaisesAfterTheListChanged) {
  std::filesystem::remove_all(FDir.At("www"));
  TDirList list;
  list.Add("C:\\Data");
  EXPECT_ANY_THROW(list.Save());
  EXPECT_EQ((Items{"C:\\Data"}), list.Items());
}

TEST(DirListText, CutsAtEveryBreakKindAndStopsAtNul) {
  using V = std::vector<std::string>;
  EXPECT_EQ(dirlistfile::Cut(""), V{});
  EXPECT_EQ(dirlistfile::Cut("\r\n"), V{""});
  EXPECT_EQ(dirlistfile::Cut("a\n\rb"), (V{"a", "", "b"}));
  EXPECT_EQ(dirlistfile::Cut("a\r\rb\r\n"), (V{"a", "", "b"}));
  EXPECT_EQ(dirlistfile::Cut(std::string("a\0b\nc", 5)), V{"a"});
  EXPECT_EQ(dirlistfile::Join({"a", ""}), "a\r\n\r\n");
  EXPECT_EQ(dirlistfile::Join({"C:\\A", "D:"}), "C:\\A\r\nD:\r\n");
  EXPECT_EQ(dirlistfile::Join({}), "");
}

TEST(DirListText, OnlyPathsOfThreeCharactersOrFewerAreCutToTheDrive) {
  EXPECT_EQ("C:", TDirList::DriveRootAsDrive("C:\\"));
  EXPECT_EQ("C:", TDirList::DriveRootAsDrive("C:"));
  EXPECT_EQ("C:\\A", TDirList::DriveRootAsDrive("C:\\A"));
  EXPECT_EQ("\\\\server\\share", TDirList::DriveRootAsDrive("\\\\server\\share"));
}
