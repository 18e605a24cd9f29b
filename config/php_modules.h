// php_modules.h - the interpreter's extension modules that php.ini loads
// itself. PHP for Windows brings its modules in its own folder (php\ext); on
// Linux the system's scan directory loads what its packages installed, so
// php.ini names none there (a second load would warn in every page's log).
#pragma once
#include <string>

#include "config/ini_file.h"

namespace phpmodules {

// The picture module (GD) that the site's thumbnails need: when a folder of
// the interpreter (php\extensions, else php\ext) holds it, extension_dir is
// pointed at that folder and the module is loaded; otherwise php.ini stays as
// it is and the site shows icons. phpDir: the interpreter's folder.
void EnableGd(TIniFile& ini, const std::string& phpDir);

}  // namespace phpmodules
