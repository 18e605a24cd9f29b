// system_text_win32.h - text as the system gives it: the description of a
// Win32 error code, and UTF-16 text (adapters' and networks' names) in UTF-8.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

// Without its trailing line break and full stop: every caller puts the text
// into a sentence of its own.
inline std::string SystemErrorText(DWORD code) {
  char buffer[1024] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                           sizeof buffer, nullptr);
  std::string text(buffer, n);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.')) text.pop_back();
  return text;
}

// "" for none, or for text that has no UTF-8 form.
inline std::string Utf8Of(std::wstring_view text) {
  if (text.empty()) return "";
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return "";
  std::string result(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(), n, nullptr, nullptr);
  return result;
}
