// mime_registry_win32.cpp - registered content types from the registry:
// HKEY_CLASSES_ROOT\.ext "Content Type", then MIME\Database\Content Type\<type> "Extension".
#include <windows.h>

#include <memory>
#include <type_traits>

#include "net/mime_table.h"

namespace {

struct CloseKey {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using TRegKey = std::unique_ptr<std::remove_pointer_t<HKEY>, CloseKey>;

// The key at path under root, opened for reading; empty when it cannot be opened.
TRegKey OpenRead(HKEY root, const char* path) {
  HKEY key;
  return TRegKey(RegOpenKeyExA(root, path, 0, KEY_READ, &key) == ERROR_SUCCESS ? key : nullptr);
}

// A text value, or "" when it is missing or not text.
std::string ReadText(HKEY key, const char* name) {
  char data[1024];
  DWORD type = 0, size = sizeof data - 1;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
    return "";
  if (type != REG_SZ && type != REG_EXPAND_SZ) return "";
  data[size] = 0;
  return data;
}

template <typename Visit>
void ForEachSubKey(HKEY root, const char* path, Visit visit) {
  TRegKey parent = OpenRead(root, path);
  if (!parent) return;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    LONG rc = RegEnumKeyExA(parent.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    if (TRegKey child = OpenRead(parent.get(), name)) visit(name, child.get());
  }
}

}  // namespace

void AddRegisteredContentTypes(TIdMimeTable::Lines& lines) {
  ForEachSubKey(HKEY_CLASSES_ROOT, "", [&](const char* name, HKEY key) {
    if (name[0] != '.') return;
    std::string type = ReadText(key, "Content Type");
    if (!type.empty()) TIdMimeTable::SetLine(lines, name, type);
  });
  ForEachSubKey(HKEY_CLASSES_ROOT, "MIME\\Database\\Content Type", [&](const char* name, HKEY key) {
    std::string ext = ReadText(key, "Extension");
    if (!ext.empty()) TIdMimeTable::SetLine(lines, ext, name);
  });
}
