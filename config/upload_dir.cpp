// upload_dir.cpp - the upload directory's path and creation.
#include "config/upload_dir.h"

#include "base/native_fs.h"
#include "config/config_error.h"

namespace uploaddir {

std::string DriveOf(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    std::size_t server = path.find('\\', 2);
    if (server == std::string::npos) return path;
    return path.substr(0, path.find('\\', server + 1));
  }
  return {};
}

std::string ForProgram(const std::string& programPath) { return DriveOf(programPath) + "\\Upload Directory"; }

void Ensure(const std::string& path) {
  if (native_fs::DirectoryExists(path)) return;
  if (const native_fs::TOsError error = native_fs::MakeDirectory(path); error.Failed()) throw EInOutError(error.code);
}

}  // namespace uploaddir
