// kelv_posix.cpp - the command line and the upload directory on Linux.
#include "base/home_dir_posix.h"
#include "base/native_fs.h"
#include "config/kelv_os.h"

namespace kelvos {

std::vector<std::string> ProcessArguments() {
  std::string raw;
  std::vector<std::string> arguments;
  if (native_fs::LoadBytes("/proc/self/cmdline", raw).Failed()) return arguments;
  std::size_t start = 0;
  while (start < raw.size()) {
    std::size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    arguments.push_back(raw.substr(start, end - start));
    start = end + 1;
  }
  return arguments;
}

// Linux has no drive roots that a user may write to: the home directory stands in.
std::string UploadDirPath() { return HomeDirOf("") + "/Upload Directory"; }

}  // namespace kelvos
