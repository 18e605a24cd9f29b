// interpreter_path_posix.cpp - php/php-cgi, which the set-up links to the system's php-cgi.
#include <unistd.h>

#include "http/interpreter_path.h"

std::string FindInterpreter(const std::string& appDir) {
  std::string path = appDir + "/php/php-cgi";
  return ::access(path.c_str(), X_OK) == 0 ? path : std::string();
}
