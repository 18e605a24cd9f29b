// php_modules_posix.cpp - on Linux the system's scan directory loads the
// modules (Debian's php-gd among them): php.ini loads none itself.
#include "config/php_modules.h"

namespace phpmodules {

void EnableGd(TIniFile&, const std::string&) {}

}  // namespace phpmodules
