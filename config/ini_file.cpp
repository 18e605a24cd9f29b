// ini_file.cpp - TIniFile: the file side of the initialization-file access.
#include "config/ini_file.h"

#include "base/native_fs.h"
#include "config/config_error.h"
#include "config/ini_text.h"

std::string TIniFile::ReadValue(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  std::string text;
  if (!native_fs::FileExists(FFileName) || native_fs::LoadBytes(FFileName, text).Failed()) return defaultValue;
  return initext::ReadValue(text, section, key).value_or(defaultValue);
}

void TIniFile::WriteValue(const std::string& section, const std::string& key, const std::string& value) {
  std::string text;
  // An existing file that cannot be read must not be replaced by a one-entry file.
  bool unreadable = native_fs::FileExists(FFileName) && native_fs::LoadBytes(FFileName, text).Failed();
  if (unreadable || native_fs::StoreBytes(FFileName, initext::WriteValue(text, section, key, value)).Failed())
    throw EConfigError("Unable to write to " + FFileName);
}
