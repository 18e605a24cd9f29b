// php_modules_win32_test.cpp - the picture module of PHP for Windows is loaded
// from where the zip puts it, and only when it is there.
#include <gtest/gtest.h>

#include "config/ini_file.h"
#include "config/kelv.h"
#include "support/temp_dir.h"

TEST(WritePhpIni, LoadsThePictureModuleOnlyFromAFolderThatHoldsIt) {
  TTempAppDir app("phpini");
  app.MakeDir("php/extensions");
  const TIniFile ini(app.At("php/php.ini"));
  TKelv::WritePhpIni();
  EXPECT_EQ(ini.ReadValue("PHP", "extension", "none"), "none") << "no module, no line that would fail";

  app.Write("php/ext/php_gd.dll", "");
  TKelv::WritePhpIni();
  EXPECT_EQ(ini.ReadValue("PHP", "extension", ""), "gd");
  EXPECT_EQ(ini.ReadValue("PHP", "extension_dir", ""), app.At("php/ext"));

  app.Write("php/extensions/php_gd.dll", "");
  TKelv::WritePhpIni();
  EXPECT_EQ(ini.ReadValue("PHP", "extension_dir", ""), app.At("php/extensions"));
}
