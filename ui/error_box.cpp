// error_box.cpp - shows an escaped error in a message box.
#include "ui/error_box.h"

#include "ui/error_text.h"

void ShowErrorBox(HWND owner, const std::string& title, const std::string& message) {
  MessageBoxA(owner, ErrorBoxText(message).c_str(), title.c_str(), MB_OK | MB_ICONSTOP);
}
