// message_box.cpp - TMessageBoxBracket: a message box with the tray icon muted.
#include "ui/message_box.h"

#include <utility>

#include "ui/tray_icon.h"

namespace {
// Restores the callback message on every way out of Show.
class MutedTrayIcon {
 public:
  explicit MutedTrayIcon(TTrayIcon& icon) : FIcon(icon) { FIcon.SetCallbackMessage(0); }
  ~MutedTrayIcon() { FIcon.SetCallbackMessage(TTrayIcon::kCallbackMessage); }
  MutedTrayIcon(const MutedTrayIcon&) = delete;
  MutedTrayIcon& operator=(const MutedTrayIcon&) = delete;

 private:
  TTrayIcon& FIcon;
};
}  // namespace

TMessageBoxBracket::TMessageBoxBracket(TTrayIcon& trayIcon, HWND owner, std::string caption)
    : FTrayIcon(trayIcon), FOwner(owner), FCaption(std::move(caption)) {}

int TMessageBoxBracket::Show(const std::string& text, UINT type) {
  MutedTrayIcon muted(FTrayIcon);
  return MessageBoxA(FOwner, text.c_str(), FCaption.c_str(), type);
}
