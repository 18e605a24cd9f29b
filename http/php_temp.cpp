// php_temp.cpp - removing what ended interpreters left in php/temp.
#include "http/php_temp.h"

#include "base/native_fs.h"
#include "base/program_env.h"
#include "base/text.h"

namespace php_temp {

bool IsInterpreterTempName(const std::string& name) {
  std::string stem = name;
  if (stem.size() > 4 && text::SameTextAscii(stem.substr(stem.size() - 4), ".tmp")) stem.resize(stem.size() - 4);
  if (stem.size() < 4 || stem.size() > 24 || stem.compare(0, 3, "php") != 0) return false;
  for (std::size_t i = 3; i < stem.size(); ++i) {
    const char c = stem[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

void RemoveLeftovers(const std::string& dir) {
  for (const std::string& name : native_fs::FileNamesIn(dir))
    if (IsInterpreterTempName(name)) native_fs::RemoveFile(dir + PathDelim() + name);
}

}  // namespace php_temp
