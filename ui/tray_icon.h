// tray_icon.h - TTrayIcon: the notification-area icon and the one record that
// every Shell_NotifyIconA call passes. Main thread only.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

class TTrayIcon {
 public:
  static constexpr UINT kCallbackMessage = WM_USER + 1;

  TTrayIcon();
  // Fills the record (icon 1 of window, message, icon and tip) and adds the icon.
  void Add(HWND window, HICON icon, const std::string& tip);
  // Adds the icon again with the record unchanged (a new notification area).
  void AddAgain();
  void Remove();
  // 0 while a message box is open, so that clicks on the icon do nothing.
  void SetCallbackMessage(UINT message);
  // A warning balloon from the icon. The record keeps no balloon, so adding
  // the icon again does not show it again.
  void ShowBalloon(const std::string& title, const std::string& text);

  const NOTIFYICONDATAA& Data() const { return FTrayIconData; }

 private:
  NOTIFYICONDATAA FTrayIconData;
};
