// ostrel_env_win32.cpp - program path, address and character set on Windows.
#include <windows.h>

#include "base/text.h"
#include "http/ostrel.h"
#include "net/tcp_connection.h"

char TOstrel::PathDelim() { return '\\'; }

std::string TOstrel::GetExePath() {
  char path[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n);
}

std::string TOstrel::GetLocalIP() { return FirstLocalAddress(); }

std::string TOstrel::GetCharset() {
  char name[1024] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, name, sizeof name);
  return text::UpperAscii(text::Trim(name)) == "CHS" ? "gb2312" : "iso-8859-1";
}
