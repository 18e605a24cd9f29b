// message_box.h - the window's own message boxes, bracketed so that the tray
// icon's clicks do nothing while a box is open. Main thread only.
#pragma once
#include <windows.h>

#include <string>

class TTrayIcon;

class TMessageBoxBracket {
 public:
  TMessageBoxBracket(TTrayIcon& trayIcon, HWND owner, std::string caption);
  // MessageBoxA with the owner and caption; the icon's callback message is 0
  // for the box's lifetime and is restored even when the box fails.
  int Show(const std::string& text, UINT type);

 private:
  TTrayIcon& FTrayIcon;
  HWND FOwner;
  std::string FCaption;
};
