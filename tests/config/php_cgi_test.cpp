// php_cgi_test.cpp - the written php.ini as the system's interpreter reads it:
// Debian's php-cgi runs a page with nothing but that file (no -d, no scan
// directory), must print no diagnostics, and must report the written values.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "config/kelv.h"
#include "http/ostrel.h"
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
    "foreach (['upload_tmp_dir', 'extension_dir', 'default_charset', 'session.save_path',\n"
    "          'file_uploads', 'max_execution_time', 'post_max_size', 'magic_quotes_gpc'] as $k)\n"
    "  echo $k, '=', var_export(ini_get($k), true), \"\\n\";\n";

// Shell single quotes; the temporary paths hold no single quote.
std::string Quoted(const std::string& s) { return "'" + s + "'"; }

std::string RunPage(const std::string& appDir) {
  const std::string command = "cd " + Quoted(appDir + "/www") + " && PHPRC=" + Quoted(appDir + "/php") +
                              " PHP_INI_SCAN_DIR= " + kPhpCgi + " page.php 2>&1";
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  ::pclose(pipe);
  return output;
}

void CheckPage(const std::string& appName) {
  TTempDir parent("phpcgi");
  const std::string appDir = parent.MakeDir(appName);
  TOstrel::OverrideAppDir(appDir);
  for (const char* dir : {"php/temp", "php/extensions", "www"}) parent.MakeDir(appName + "/" + dir);
  Spill(parent.At(appName + "/www/page.php"), kPage);
  TKelv::WritePhpIni();
  TOstrel::OverrideAppDir("");

  const std::string out = RunPage(appDir);
  SCOPED_TRACE(out);
  EXPECT_NE(out.find("\nRAN\n"), std::string::npos);
  for (const char* bad : {"Warning", "Deprecated", "Fatal", "Notice", "error"})
    EXPECT_EQ(out.find(bad), std::string::npos) << bad;
  const std::string php = appDir + "/php";
  EXPECT_NE(out.find("INI=" + php + "/php.ini\n"), std::string::npos);
  EXPECT_NE(out.find("upload_tmp_dir='" + php + "/temp'\n"), std::string::npos);
  EXPECT_NE(out.find("session.save_path='" + php + "/temp'\n"), std::string::npos);
  EXPECT_NE(out.find("extension_dir='" + php + "/extensions'\n"), std::string::npos);
  EXPECT_NE(out.find("default_charset='" + TOstrel::GetCharset() + "'\n"), std::string::npos);
  EXPECT_NE(out.find("file_uploads='1'\n"), std::string::npos);
  EXPECT_NE(out.find("max_execution_time='0'\n"), std::string::npos);
  EXPECT_NE(out.find("post_max_size='2047M'\n"), std::string::npos);
  EXPECT_NE(out.find("magic_quotes_gpc=false\n"), std::string::npos) << "unknown to the interpreter";
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
