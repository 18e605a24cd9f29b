// mime_registry_posix.cpp - registered content types from /etc/mime.types.
#include <sstream>
#include <string_view>

#include "base/native_fs.h"
#include "base/text.h"
#include "net/mime_table.h"

// Each line is a type followed by its extensions; later lines replace earlier
// ones for the same extension, like per-extension registrations.
void AddRegisteredContentTypes(TIdMimeTable::Lines& lines) {
  std::string registry;
  if (native_fs::LoadBytes("/etc/mime.types", registry).Failed()) return;
  text::ForEachLine(registry, [&lines](std::string_view line) {
    if (line.empty() || line[0] == '#') return;
    std::istringstream words{std::string(line)};
    std::string type, ext;
    if (!(words >> type)) return;
    while (words >> ext) TIdMimeTable::SetLine(lines, "." + ext, type);
  });
}
