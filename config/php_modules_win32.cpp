// php_modules_win32.cpp - the picture module of PHP for Windows, php_gd.dll.
#include "base/native_fs.h"
#include "config/php_ini_quote.h"
#include "config/php_modules.h"

namespace phpmodules {

void EnableGd(TIniFile& ini, const std::string& phpDir) {
  // php\extensions first: it is the folder that php.ini names.
  for (const char* folder : {"extensions", "ext"}) {
    const std::string dir = phpDir + "\\" + folder;
    if (!native_fs::FileExists(dir + "\\php_gd.dll")) continue;
    ini.WriteValue("PHP", "extension_dir", PhpIniPathValue(dir));
    ini.WriteValue("PHP", "extension", "gd");
    return;
  }
}

}  // namespace phpmodules
