// mime_registry_posix.cpp - registered content types from /etc/mime.types.
#include <fstream>
#include <sstream>

#include "net/mime_table.h"

// Each line is a type followed by its extensions; later lines replace earlier
// ones for the same extension, like per-extension registrations.
void AddRegisteredContentTypes(TIdMimeTable::Lines& lines) {
  std::ifstream in("/etc/mime.types");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string type, ext;
    if (!(words >> type)) continue;
    while (words >> ext) TIdMimeTable::SetLine(lines, "." + ext, type);
  }
}
