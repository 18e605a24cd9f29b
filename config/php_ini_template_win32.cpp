// php_ini_template_win32.cpp - the template from the program's raw-data
// resource "RES_MAINFORM_PHPINI" (php_ini.rc).
#include <windows.h>

#include "config/config_error.h"
#include "config/php_ini_template.h"

std::string PhpIniTemplate() {
  // Resources of the program's own module stay loaded for its lifetime; they
  // need no release.
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC info = FindResourceA(module, "RES_MAINFORM_PHPINI", MAKEINTRESOURCEA(10));  // RT_RCDATA
  HGLOBAL data = info != nullptr ? LoadResource(module, info) : nullptr;
  const void* bytes = data != nullptr ? LockResource(data) : nullptr;
  if (bytes == nullptr) throw EConfigError("Resource RES_MAINFORM_PHPINI not found");
  return std::string(static_cast<const char*>(bytes), SizeofResource(module, info));
}
