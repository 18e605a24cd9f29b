// share_path_posix.cpp - resolving folder names from the command line on Linux.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/share_path.h"
#include "base/home_dir_posix.h"

namespace {

namespace fs = std::filesystem;

// "~" and "~user" lead to a home directory as in a shell: a quoted name, or
// one after "=", reaches the program unexpanded.
std::string ExpandHome(const std::string& name) {
  if (name.empty() || name[0] != '~') return name;
  const std::size_t slash = name.find('/');
  const std::string home = HomeDirOf(name.substr(1, slash == std::string::npos ? slash : slash - 1));
  if (home.empty()) return name;
  return home + (slash == std::string::npos ? "" : name.substr(slash));
}

fs::path Absolute(const std::string& name) {
  std::error_code ec;
  fs::path path = fs::absolute(ExpandHome(name), ec);
  return ec ? fs::path(ExpandHome(name)) : path;
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

namespace sharepath {

std::string Resolve(const std::string& name, std::string& error) {
  std::error_code ec;
  const fs::path real = name.empty() ? fs::path() : fs::canonical(Absolute(name), ec);
  if (name.empty() || ec == std::errc::no_such_file_or_directory) {
    error = "no such directory";
  } else if (ec == std::errc::not_a_directory || (!ec && !fs::is_directory(real, ec))) {
    error = "not a directory";
  } else if (ec) {
    error = "it cannot be read (" + ec.message() + ")";
  } else if (::access(real.c_str(), R_OK | X_OK) != 0) {
    error = std::string("it cannot be read (") + std::strerror(errno) + ")";
  } else if (real.native().find_first_of("\r\n") != std::string::npos) {
    error = "its name holds a line break, which the list file cannot keep";
  } else {
    error.clear();
    return real.native();
  }
  return "";
}

std::string Key(const std::string& name) {
  if (name.empty()) return "";  // not the working directory
  std::error_code ec;
  const fs::path absolute = Absolute(name);
  const fs::path real = fs::canonical(absolute, ec);
  if (!ec) return real.native();
  return WithoutTrailingSlash(absolute.lexically_normal().native());
}

}  // namespace sharepath
