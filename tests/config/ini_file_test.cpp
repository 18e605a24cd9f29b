// ini_file_test.cpp - TIniFile on real files: creation, defaults and the
// write error.
#include <gtest/gtest.h>

#include "config/config_error.h"
#include "config/ini_file.h"
#include "support/temp_dir.h"

TEST(IniFile, AMissingFileReadsAsTheDefaultAndTheFirstWriteCreatesIt) {
  TTempDir dir("ini");
  TIniFile ini(dir.At("Setup.ini"));
  EXPECT_EQ(ini.ReadValue("Kelv", "AutoRun", "dflt"), "dflt");
  ini.WriteValue("Kelv", "AutoRun", "1");
  EXPECT_EQ(Slurp(dir.At("Setup.ini")), "[Kelv]\r\nAutoRun=1\r\n");
  ini.WriteValue("Kelv", "Other", "x y");
  ini.WriteValue("Kelv", "AutoRun", "0");
  EXPECT_EQ(Slurp(dir.At("Setup.ini")), "[Kelv]\r\nAutoRun=0\r\nOther=x y\r\n");
  EXPECT_EQ(ini.ReadValue("kelv", "other", ""), "x y");
}

TEST(IniFile, AFailedWriteRaisesWithThePath) {
  TTempDir dir("ini");
  const std::string inMissingDir = dir.At("missing/Setup.ini");
  try {
    TIniFile(inMissingDir).WriteValue("Kelv", "AutoRun", "1");
    FAIL() << "no error";
  } catch (const EConfigError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + inMissingDir);
  }
  // A directory where the file should be: unreadable as a file, never replaced.
  const std::string isDir = dir.MakeDir("Setup.ini");
  EXPECT_THROW(TIniFile(isDir).WriteValue("Kelv", "AutoRun", "1"), EConfigError);
  EXPECT_EQ(TIniFile(isDir).ReadValue("Kelv", "AutoRun", "d"), "d");
}
