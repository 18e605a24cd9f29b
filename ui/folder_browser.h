// folder_browser.h - the shell's folder browser below My Computer, centred on
// the screen when it opens. Main thread (a COM apartment) only.
#pragma once
#include <windows.h>

#include <string>

// The chosen folder's path, or "" when the user cancels. owner: the application
// window; mainWindow: the owner of the look-up of My Computer.
std::string BrowseForFolder(HWND owner, HWND mainWindow, const std::string& title, UINT flags);

// The browser's callback: centres the dialog when it is initialised; returns 0.
int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM lParam, LPARAM data);
