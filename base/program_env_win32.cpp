// program_env_win32.cpp - program path, delimiter, character set and start
// time on Windows.
#include <windows.h>

#include "base/program_env.h"
#include "base/text.h"

char PathDelim() { return '\\'; }

std::string GetExePath() {
  char path[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n);
}

std::string GetCharset() {
  char name[1024] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, name, sizeof name);
  return text::UpperAscii(text::Trim(name)) == "CHS" ? "gb2312" : "iso-8859-1";
}

std::chrono::system_clock::time_point ProgramStartTime() {
  FILETIME created{}, exited{}, kernel{}, user{};
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  // 100 ns units since 1601; the system clock counts from 1970.
  const ULONGLONG ticks = (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
  constexpr ULONGLONG kFrom1601To1970 = 116444736000000000ULL;
  const auto since1970 = std::chrono::microseconds((ticks - kFrom1601To1970) / 10);
  return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(since1970));
}
