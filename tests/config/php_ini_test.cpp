// php_ini_test.cpp - the stored interpreter configuration template and the
// php.ini that WritePhpIni makes from it.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "base/program_env.h"
#include "base/text.h"
#include "config/ini_file.h"
#include "config/ini_text.h"
#include "config/kelv.h"
#include "config/php_ini_quote.h"
#include "config/php_ini_template.h"
#include "support/temp_dir.h"

namespace {

const char* const kSections[] = {"PHP",      "Syslog",    "mail function", "Java",       "SQL",
                                 "ODBC",     "MySQL",     "mSQL",          "PostgresSQL", "Sybase",
                                 "Sybase-CT", "dbx",      "bcmath",        "browscap",   "Informix",
                                 "Session",  "MSSQL",     "Assertion",     "Ingres II",  "Verisign Payflow Pro",
                                 "Sockets",  "com",       "Printer",       "mbstring",   "FrontBase",
                                 "Crack",    "exif",      "Zend"};

const char* const kWrittenKeys[] = {"default_charset",   "upload_tmp_dir",       "session.save_path",
                                    "extension_dir",     "mime_magic.magicfile", "zend_extension_ts",
                                    "zend_extension_manager.optimizer_ts"};

std::vector<std::string> Lines(const std::string& text) { return text::SplitLines(text); }

std::size_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == line) return i;
  return std::string::npos;
}

// Lines that set key (an entry, not a comment).
int EntriesOf(const std::vector<std::string>& lines, const std::string& key) {
  const std::regex entry("^[ \\t]*" + std::regex_replace(key, std::regex("\\."), "\\.") + "[ \\t]*=.*");
  int count = 0;
  for (const std::string& line : lines) count += std::regex_match(line, entry) ? 1 : 0;
  return count;
}

std::string InPhp(const std::string& relative) {
  std::string path = GetAppDir() + PathDelim() + "php" + PathDelim();
  for (char c : relative) path += c == '/' ? PathDelim() : c;
  return path;
}

}  // namespace

TEST(PhpIniTemplate, IsCrLfTextWithTheSectionsInOrder) {
  const std::string text = PhpIniTemplate();
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.rfind("[PHP]\r\n", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "lone LF at " << i;
    }
    if (text[i] == '\r') {
      ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "lone CR at " << i;
    }
    ASSERT_NE(text[i], '\0');
  }
  std::vector<std::string> headings;
  for (const std::string& line : Lines(text))
    if (!line.empty() && line[0] == '[') headings.push_back(line);
  ASSERT_EQ(headings.size(), std::size(kSections));
  for (std::size_t i = 0; i < headings.size(); ++i) EXPECT_EQ(headings[i], "[" + std::string(kSections[i]) + "]");
}

TEST(PhpIniTemplate, HoldsTheEntriesThatTheServerFillsInAndNoBrokenOnes) {
  const std::string text = PhpIniTemplate();
  const std::vector<std::string> lines = Lines(text);
  const struct {
    const char* comment;
    const char* key;
  } marked[] = {{"; php\\temp", "upload_tmp_dir"},
                {"; php\\extensions", "extension_dir"},
                {"; php\\temp\\php_errors.log", "error_log"},
                {"; php\\Zend\\lib\\ZendExtensionManager.dll", "zend_extension_ts"},
                {"; php\\Zend\\lib\\Optimizer-2.5.7", "zend_extension_manager.optimizer_ts"}};
  for (const auto& m : marked) {
    std::size_t at = IndexOf(lines, m.comment);
    ASSERT_NE(at, std::string::npos) << m.comment;
    ASSERT_LT(at + 1, lines.size());
    EXPECT_EQ(lines[at + 1], std::string(m.key) + " =") << "empty entry after " << m.comment;
  }
  EXPECT_EQ(initext::ReadValue(text, "Session", "session.save_path"), "");
  EXPECT_EQ(initext::ReadValue(text, "PHP", "default_charset"), "iso-8859-1");
  EXPECT_EQ(initext::ReadValue(text, "PHP", "mime_magic.magicfile"), std::nullopt);
  EXPECT_EQ(initext::ReadValue(text, "PHP", "cgi.force_redirect"), "0");
  // What today's applications need: memory to run in, no server paths shown
  // to visitors (logging waits for its file), uploads of any size, and
  // PHP_SELF as the page's path.
  EXPECT_EQ(initext::ReadValue(text, "PHP", "memory_limit"), "128M");
  EXPECT_EQ(initext::ReadValue(text, "PHP", "display_errors"), "Off");
  EXPECT_EQ(initext::ReadValue(text, "PHP", "log_errors"), "Off");
  EXPECT_EQ(initext::ReadValue(text, "PHP", "post_max_size"), "0");
  EXPECT_EQ(initext::ReadValue(text, "PHP", "upload_max_filesize"), "0");
  EXPECT_EQ(initext::ReadValue(text, "PHP", "cgi.fix_pathinfo"), "0");
  EXPECT_EQ(initext::ReadValue(text, "PHP", "opcache.enable"), "0");
  // The gateway's variable, per request: a form's body is read ahead, any other left to the page.
  EXPECT_EQ(initext::ReadValue(text, "PHP", "enable_post_data_reading"), "${OSTREL_PARSE_BODY}");
  // Today's interpreters refuse to start with the first, and warn in every page
  // for the second.
  EXPECT_EQ(initext::ReadValue(text, "PHP", "magic_quotes_gpc"), "Off");
  EXPECT_EQ(EntriesOf(lines, "extension"), 0);
  EXPECT_NE(IndexOf(lines, ";extension = php_mime_magic.dll"), std::string::npos);
}

TEST(WritePhpIni, SetsEachKeyOnceAndKeepsTheRestOfTheTemplate) {
  TTempAppDir app("phpini");
  app.MakeDir("php");
  TKelv::WritePhpIni();
  const std::string written = Slurp(app.At("php/php.ini"));
  const std::vector<std::string> lines = Lines(written);
  const std::vector<std::string> original = Lines(PhpIniTemplate());
  for (const char* key : kWrittenKeys) EXPECT_EQ(EntriesOf(lines, key), 1) << key;
  for (const char* key : {"error_log", "log_errors"}) EXPECT_EQ(EntriesOf(lines, key), 1) << key;
  ASSERT_EQ(lines.size(), original.size() + 1);  // one entry added, the others replaced
  EXPECT_EQ(lines.front(), "[PHP]");

  TIniFile ini(app.At("php/php.ini"));
  EXPECT_EQ(ini.ReadValue("PHP", "default_charset", ""), GetCharset());
  EXPECT_EQ(ini.ReadValue("PHP", "upload_tmp_dir", ""), InPhp("temp"));
  EXPECT_EQ(ini.ReadValue("Session", "session.save_path", ""), InPhp("temp"));
  EXPECT_EQ(ini.ReadValue("PHP", "extension_dir", ""), InPhp("extensions"));
  EXPECT_EQ(ini.ReadValue("PHP", "mime_magic.magicfile", ""), InPhp("magic.mime"));
  EXPECT_EQ(ini.ReadValue("Zend", "zend_extension_ts", ""), InPhp("Zend/lib/ZendExtensionManager.dll"));
  EXPECT_EQ(ini.ReadValue("Zend", "zend_extension_manager.optimizer_ts", ""), InPhp("Zend/lib/Optimizer-2.5.7"));
  EXPECT_NE(IndexOf(lines, "upload_tmp_dir=" + InPhp("temp")), std::string::npos) << "written without quotes";
  EXPECT_EQ(ini.ReadValue("PHP", "error_log", ""), InPhp("temp/php_errors.log"));
  EXPECT_EQ(ini.ReadValue("PHP", "log_errors", ""), "On");

  // The added entry closes the PHP section, right after the extension line.
  std::size_t extension = IndexOf(lines, ";extension = php_mime_magic.dll");
  ASSERT_NE(extension, std::string::npos);
  EXPECT_EQ(lines[extension + 1], "mime_magic.magicfile=" + InPhp("magic.mime"));
  EXPECT_LT(extension + 1, IndexOf(lines, "[Syslog]"));
}

// The user's own settings live in php/conf.d, made when missing and never
// written into, so they survive every start.
TEST(WritePhpIni, TwiceGivesTheSameBytesAndHandEditsAreOverwrittenButNotConfD) {
  TTempAppDir app("phpini");
  app.MakeDir("php");
  Spill(app.At("php/php.ini"), "[PHP]\r\nengine = Off\r\n");
  TKelv::WritePhpIni();
  ASSERT_TRUE(Exists(app.At("php/conf.d")));
  Spill(app.At("php/conf.d/mine.ini"), "memory_limit = 256M\n");
  const std::string first = Slurp(app.At("php/php.ini"));
  TKelv::WritePhpIni();
  EXPECT_EQ(Slurp(app.At("php/php.ini")), first);
  EXPECT_EQ(TIniFile(app.At("php/php.ini")).ReadValue("PHP", "engine", ""), "On");
  EXPECT_EQ(Slurp(app.At("php/conf.d/mine.ini")), "memory_limit = 256M\n");
}

TEST(WritePhpIni, WithoutThePhpDirectoryNothingHappens) {
  TTempAppDir app("phpini");
  EXPECT_NO_THROW(TKelv::WritePhpIni());
  EXPECT_FALSE(Exists(app.At("php")));
}

TEST(WritePhpIni, PathsThatTheInterpreterWouldMisreadAreQuoted) {
  EXPECT_EQ(PhpIniPathValue("C:\\Program Files\\Share\\php\\temp"), "C:\\Program Files\\Share\\php\\temp");
  EXPECT_EQ(PhpIniPathValue("E:\\php\\temp"), "E:\\php\\temp");
  EXPECT_EQ(PhpIniPathValue("C:\\Program Files (x86)\\Share\\php\\temp"),
            "'C:\\Program Files (x86)\\Share\\php\\temp'");
  EXPECT_EQ(PhpIniPathValue("/home/a&b/php"), "'/home/a&b/php'");
  EXPECT_EQ(PhpIniPathValue("/home/${x}/php"), "'/home/${x}/php'");
  EXPECT_EQ(PhpIniPathValue("C:\\Bob's (old)\\php"), "C:\\Bob's (old)\\php");  // no raw form exists

  TTempDir parent("phpini");
  const std::string appDir = parent.MakeDir("Share (x86)");
  OverrideAppDir(appDir);
  parent.MakeDir("Share (x86)/php");
  TKelv::WritePhpIni();
  TIniFile ini(appDir + PathDelim() + "php" + PathDelim() + "php.ini");
  EXPECT_EQ(ini.ReadValue("PHP", "upload_tmp_dir", ""), InPhp("temp"));
  OverrideAppDir("");
}
