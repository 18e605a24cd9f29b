// php_ini_quote.cpp - quoting of path values for the interpreter's ini syntax.
#include "config/php_ini_quote.h"

std::string PhpIniPathValue(const std::string& path) {
  // Unquoted, the interpreter stops a value at these (expressions, constants,
  // ${} expansion, comments), so the rest of its file is lost.
  static constexpr char kSpecial[] = "()[]{}!~&|^$\";=";
  if (path.find_first_of(kSpecial) == std::string::npos || path.find('\'') != std::string::npos) return path;
  return "'" + path + "'";
}
