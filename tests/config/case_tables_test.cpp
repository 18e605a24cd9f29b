// case_tables_test.cpp - the program's side of tests/cases, which the site's
// pure_functions.test.js reads too: the shared-directory list and access.ini.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "base/native_fs.h"
#include "config/dir_list.h"
#include "config/site_access.h"
#include "support/temp_dir.h"

namespace {

using TFields = std::vector<std::vector<std::string>>;  // each field's items

std::string Decode(const std::string& item) {
  static const std::map<std::string, std::string> kNamed = {
      {"CR", "\r"}, {"LF", "\n"}, {"TAB", "\t"}, {"NUL", std::string(1, '\0')}, {"SP", " "}, {"EMPTY", ""}};
  std::string bytes;
  for (std::size_t i = 0; i < item.size(); ++i) {
    const std::size_t close = item[i] == '<' ? item.find('>', i) : std::string::npos;
    const std::string name = close == std::string::npos ? "" : item.substr(i + 1, close - i - 1);
    const bool hex = name.size() == 3 && name[0] == 'x';
    if (hex || kNamed.contains(name)) {
      bytes += hex ? std::string(1, static_cast<char>(std::stoi(name.substr(1), nullptr, 16))) : kNamed.at(name);
      i = close;
    } else {
      bytes += item[i];
    }
  }
  return bytes;
}

// Calls check with each case's line and fields, its file laid out at relative
// in a fresh application directory (none for <NOFILE>).
template <class F>
void ForEachCase(const std::string& table, const std::string& relative, F check) {
  std::string text, line;
  native_fs::LoadBytes(std::string(OSTREL_CASES_DIR) + "/" + table, text);
  std::istringstream lines(text);
  int cases = 0;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (line.find_first_not_of(" \t\r") == std::string::npos || line[0] == '#') continue;
    TFields fields;
    for (std::size_t start = 0, bar = 0; bar != std::string::npos; start = bar + 1) {
      bar = line.find('|', start);
      std::istringstream items(line.substr(start, bar - start));
      fields.emplace_back();
      for (std::string item; items >> item;) fields.back().push_back(Decode(item));
    }
    SCOPED_TRACE(table + " line " + std::to_string(number));
    TTempAppDir app("cases");
    app.MakeDir(relative.substr(0, relative.find('/')));
    if (fields.at(0).at(0) != "<NOFILE>") app.Write(relative, fields[0][0]);
    check(fields);
    ++cases;
  }
  EXPECT_GE(cases, 10);
}

}  // namespace

TEST(CaseTables, TheListIsTheFoldersTheSiteReads) {
  ForEachCase("dirs_ini.txt", "www/dirs.ini", [](const TFields& fields) {
    TDirList list;
    list.Load();
    EXPECT_EQ(fields.at(1), list.Items());
  });
}

TEST(CaseTables, TheModeAndTheDamageAreTheSites) {
  ForEachCase("access_ini.txt", std::string(kSiteStateDir) + "/" + kSiteAccessFile, [](const TFields& fields) {
    const TSiteAccess access = LoadSiteAccess();
    EXPECT_EQ(fields.at(1).at(0), access.Mode);
    EXPECT_EQ(fields.at(2).at(0), access.Damaged ? "yes" : "no");
    EXPECT_EQ(fields.at(4), access.Code.empty() ? std::vector<std::string>{} : std::vector<std::string>{access.Code});
  });
}
