// php_cgi_test.cpp - the written php.ini as the system's interpreter reads it:
// Debian's php-cgi runs a page as the gateway starts it (the written file, the
// system's scan directory, then php/conf.d), shows no problem to the visitor,
// logs it to its file instead, loads the system's extension modules through
// php/extensions (the picture module GD among them), and reports the written
// values and the user's own.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "base/program_env.h"
#include "config/kelv.h"
#include "support/temp_dir.h"

#ifndef _WIN32

namespace {

const char kPhpCgi[] = "/usr/bin/php-cgi";

const char kPage[] =
    "<?php\n"
    "session_start();\n"
    "$_SESSION['n'] = 1;\n"
    "echo \"RAN\\n\";\n"
    "echo 'INI=', php_ini_loaded_file(), \"\\n\";\n"
    "echo 'SELF=', $_SERVER['PHP_SELF'], \"\\n\";\n"
    "echo 'MODULES=', extension_loaded('ctype') && extension_loaded('pdo') && extension_loaded('gd') ? 'yes' : 'no',"
    " \"\\n\";\n"
    "echo $undefinedVariable;\n"
    "foreach (['upload_tmp_dir', 'extension_dir', 'default_charset', 'session.save_path', 'memory_limit',\n"
    "          'file_uploads', 'max_execution_time', 'post_max_size', 'magic_quotes_gpc'] as $k)\n"
    "  echo $k, '=', var_export(ini_get($k), true), \"\\n\";\n";

// Shell single quotes; the temporary paths hold no single quote.
std::string Quoted(const std::string& s) { return "'" + s + "'"; }

std::string Output(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  ::pclose(pipe);
  return output;
}

// The page as the gateway runs it, standard error joined to the output.
std::string RunPage(const std::string& appDir) {
  const std::string www = appDir + "/www", php = appDir + "/php";
  return Output("cd " + Quoted(www) + " && env -i PHPRC=" + Quoted(php) + " PHP_INI_SCAN_DIR=" +
                Quoted(":" + php + "/conf.d") + " REQUEST_METHOD=GET PATH_INFO=/page.php SCRIPT_NAME=/page.php" +
                " PATH_TRANSLATED=" + Quoted(www + "/page.php") + " SCRIPT_FILENAME=" + Quoted(www + "/page.php") +
                " REDIRECT_STATUS=200 " + kPhpCgi + " 2>&1");
}

// The set-up links php/extensions to the system's extension directory, as it
// links php/php-cgi to the system's interpreter.
void LinkExtensions(const std::string& appDir) {
  const std::string dir = Output("echo '<?php echo PHP_EXTENSION_DIR;' | " + std::string(kPhpCgi) + " -n -q");
  std::filesystem::create_directories(appDir + "/php");
  std::filesystem::create_directory_symlink(dir, appDir + "/php/extensions");
}

void CheckPage(const std::string& appName) {
  TTempDir parent("phpcgi");
  const std::string appDir = parent.MakeDir(appName);
  OverrideAppDir(appDir);
  for (const char* dir : {"php/temp", "www"}) parent.MakeDir(appName + "/" + dir);
  LinkExtensions(appDir);
  Spill(parent.At(appName + "/www/page.php"), kPage);
  TKelv::WritePhpIni();
  OverrideAppDir("");
  Spill(parent.At(appName + "/php/conf.d/mine.ini"), "memory_limit = 64M\n");

  const std::string out = RunPage(appDir);
  SCOPED_TRACE(out);
  EXPECT_NE(out.find("\nRAN\n"), std::string::npos);
  for (const char* bad : {"Warning", "Deprecated", "Fatal", "Notice", "error", "Undefined"})
    EXPECT_EQ(out.find(bad), std::string::npos) << bad;
  const std::string php = appDir + "/php";
  EXPECT_NE(out.find("INI=" + php + "/php.ini\n"), std::string::npos);
  EXPECT_NE(out.find("SELF=/page.php\n"), std::string::npos);
  EXPECT_NE(out.find("MODULES=yes\n"), std::string::npos);
  EXPECT_NE(out.find("upload_tmp_dir='" + php + "/temp'\n"), std::string::npos);
  EXPECT_NE(out.find("session.save_path='" + php + "/temp'\n"), std::string::npos);
  EXPECT_NE(out.find("extension_dir='" + php + "/extensions'\n"), std::string::npos);
  EXPECT_NE(out.find("default_charset='" + GetCharset() + "'\n"), std::string::npos);
  EXPECT_NE(out.find("memory_limit='64M'\n"), std::string::npos) << "the user's own setting";
  EXPECT_NE(out.find("file_uploads='1'\n"), std::string::npos);
  EXPECT_NE(out.find("max_execution_time='0'\n"), std::string::npos);
  EXPECT_NE(out.find("post_max_size='0'\n"), std::string::npos);
  EXPECT_NE(out.find("magic_quotes_gpc=false\n"), std::string::npos) << "unknown to the interpreter";

  // The problem went to the log, and nothing went wrong at start-up.
  const std::string log = Slurp(php + "/temp/php_errors.log");
  EXPECT_NE(log.find("Undefined variable $undefinedVariable"), std::string::npos) << log;
  for (const char* bad : {"Startup", "Unable to load", "Deprecated", "Fatal"})
    EXPECT_EQ(log.find(bad), std::string::npos) << bad << " in " << log;
}

}  // namespace

TEST(PhpCgi, RunsAPageWithTheWrittenConfiguration) {
  if (::access(kPhpCgi, X_OK) != 0) GTEST_SKIP() << "php-cgi is not installed";
  CheckPage("app");
}

// Blanks and parentheses, as in a program folder under "Program Files (x86)".
TEST(PhpCgi, AnAppDirectoryWithParenthesesKeepsTheFileReadable) {
  if (::access(kPhpCgi, X_OK) != 0) GTEST_SKIP() << "php-cgi is not installed";
  CheckPage("Share (x86) & more");
}

#endif
