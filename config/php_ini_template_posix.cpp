// php_ini_template_posix.cpp - the template from the byte array that the
// build generates from php_template.ini (embed_file.cmake).
#include <cstddef>

#include "config/php_ini_template.h"

extern const unsigned char kPhpIniTemplateData[];
extern const std::size_t kPhpIniTemplateSize;

std::string PhpIniTemplate() {
  return std::string(reinterpret_cast<const char*>(kPhpIniTemplateData), kPhpIniTemplateSize);
}
