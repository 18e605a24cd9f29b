// php_temp.cpp - removing what ended interpreters left in php/temp.
#include "http/php_temp.h"

#include "base/native_fs.h"
#include "base/program_env.h"
#include "base/text.h"

namespace php_temp {
namespace {

bool AllOf(const std::string& s, std::size_t from, std::size_t to, bool (*accepted)(char)) {
  for (std::size_t i = from; i < to; ++i)
    if (!accepted(s[i])) return false;
  return true;
}

bool IsLetterOrDigit(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

}  // namespace

bool IsInterpreterTempName(const std::string& name) {
  if (name.compare(0, 3, "php") != 0) return false;
  if (name.size() == 9) return AllOf(name, 3, 9, IsLetterOrDigit);
  const std::size_t stem = name.size() - 4;
  return name.size() >= 8 && name.size() <= 11 && text::SameTextAscii(name.substr(stem), ".tmp") &&
         AllOf(name, 3, stem, IsHexDigit);
}

void RemoveLeftovers(const std::string& dir, std::chrono::system_clock::time_point since) {
  for (const std::string& name : native_fs::FileNamesIn(dir)) {
    if (!IsInterpreterTempName(name)) continue;
    const std::string path = dir + PathDelim() + name;
    std::chrono::system_clock::time_point written;
    if (native_fs::ModifiedAt(path, written) && written < since) native_fs::RemoveFile(path);
  }
}

}  // namespace php_temp
