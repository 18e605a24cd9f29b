// system_text_win32.h - the system's description of a Win32 error code.
#pragma once
#include <windows.h>

#include <string>

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
