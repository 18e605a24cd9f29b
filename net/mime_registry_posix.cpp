// mime_registry_posix.cpp - registered content types from /etc/mime.types.
#include <sstream>
#include <string_view>

#include "base/native_fs.h"
#include "net/mime_table.h"

// Each line is a type followed by its extensions; later lines replace earlier
// ones for the same extension, like per-extension registrations.
void AddRegisteredContentTypes(TIdMimeTable::Lines& lines) {
  std::string text;
  if (native_fs::LoadBytes("/etc/mime.types", text).Failed()) return;
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string line(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string type, ext;
    if (!(words >> type)) continue;
    while (words >> ext) TIdMimeTable::SetLine(lines, "." + ext, type);
  }
}
