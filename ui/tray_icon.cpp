// tray_icon.cpp - TTrayIcon: add, modify and remove the notification-area icon.
#include "ui/tray_icon.h"

#include <cstring>

TTrayIcon::TTrayIcon() { std::memset(&FTrayIconData, 0, sizeof FTrayIconData); }

void TTrayIcon::Add(HWND window, HICON icon, const std::string& tip) {
  std::memset(&FTrayIconData, 0, sizeof FTrayIconData);
  FTrayIconData.cbSize = sizeof FTrayIconData;
  FTrayIconData.hWnd = window;
  FTrayIconData.uID = 1;
  FTrayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  FTrayIconData.uCallbackMessage = kCallbackMessage;
  FTrayIconData.hIcon = icon;
  // The first shells' tips hold 63 characters and the terminating zero.
  std::strncpy(FTrayIconData.szTip, tip.c_str(), 63);
  FTrayIconData.szTip[63] = '\0';
  Shell_NotifyIconA(NIM_ADD, &FTrayIconData);
}

void TTrayIcon::AddAgain() { Shell_NotifyIconA(NIM_ADD, &FTrayIconData); }

void TTrayIcon::Remove() {
  if (FTrayIconData.hWnd != nullptr) Shell_NotifyIconA(NIM_DELETE, &FTrayIconData);
}

void TTrayIcon::SetCallbackMessage(UINT message) {
  FTrayIconData.uCallbackMessage = message;
  Shell_NotifyIconA(NIM_MODIFY, &FTrayIconData);
}

void TTrayIcon::ShowBalloon(const std::string& title, const std::string& text) {
  if (FTrayIconData.hWnd == nullptr) return;
  NOTIFYICONDATAA balloon = FTrayIconData;
  balloon.uFlags = NIF_INFO;
  std::strncpy(balloon.szInfoTitle, title.c_str(), sizeof balloon.szInfoTitle - 1);
  std::strncpy(balloon.szInfo, text.c_str(), sizeof balloon.szInfo - 1);
  balloon.dwInfoFlags = NIIF_WARNING;
  Shell_NotifyIconA(NIM_MODIFY, &balloon);
}
