// share_path_posix.cpp - resolving folder names from the command line on Linux.
#include <cerrno>

#include "app/share_path.h"
#include "base/home_dir_posix.h"
#include "base/native_fs.h"
#include "base/native_fs_posix.h"

namespace {

// "~" and "~user" lead to a home directory as in a shell: a quoted name, or
// one after "=", reaches the program unexpanded.
std::string ExpandHome(const std::string& name) {
  if (name.empty() || name[0] != '~') return name;
  const std::size_t slash = name.find('/');
  const std::string home = HomeDirOf(name.substr(1, slash == std::string::npos ? slash : slash - 1));
  if (home.empty()) return name;
  return home + (slash == std::string::npos ? "" : name.substr(slash));
}

// The name after the working directory, as given: links and ".." are for
// RealPath to resolve, in that order.
std::string Absolute(const std::string& name) {
  const std::string expanded = ExpandHome(name);
  const std::string cwd = expanded[0] == '/' ? "" : native_fs::CurrentDirectory();
  if (cwd.empty()) return expanded;
  return cwd + (cwd.back() == '/' ? "" : "/") + expanded;
}

}  // namespace

namespace sharepath {

std::string Resolve(const std::string& name, std::string& error) {
  std::string real;
  const native_fs::TOsError resolved = name.empty() ? native_fs::TOsError{} : native_fs::RealPath(Absolute(name), real);
  if (name.empty() || resolved.code == ENOENT) {
    error = "no such directory";
  } else if (resolved.code == ENOTDIR || (!resolved.Failed() && !native_fs::DirectoryExists(real))) {
    error = "not a directory";
  } else if (resolved.Failed()) {
    error = "it cannot be read (" + resolved.text + ")";
  } else if (const native_fs::TOsError listable = native_fs::CheckListable(real); listable.Failed()) {
    error = "it cannot be read (" + listable.text + ")";
  } else if (real.find_first_of("\r\n") != std::string::npos) {
    error = "its name holds a line break, which the list file cannot keep";
  } else {
    error.clear();
    return real;
  }
  return "";
}

std::string Key(const std::string& name) {
  if (name.empty()) return "";  // not the working directory
  const std::string absolute = Absolute(name);
  if (std::string real; !native_fs::RealPath(absolute, real).Failed()) return real;
  // Gone: the name with ".", ".." and repeated or trailing "/" taken out.
  return native_fs::Combine(absolute, "");
}

}  // namespace sharepath
