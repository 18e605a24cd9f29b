// error_box.h - the error box for errors that escape a window event handler:
// the message, the application title, OK and the stop icon; the program goes on.
#pragma once
#include <windows.h>

#include <string>

void ShowErrorBox(HWND owner, const std::string& title, const std::string& message);
