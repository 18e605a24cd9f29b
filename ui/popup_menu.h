// popup_menu.h - TPopupMenu: the tray icon's menu mnuControl, with its default
// item and the AutoRun check mark. Main thread only.
#pragma once
#include <windows.h>

#include "ui/win_handles.h"

class TPopupMenu {
 public:
  enum Item : UINT {
    mnuControl_Show = 1,
    mnuControl_AutoRun,
    mnuControl_Email,
    mnuControl_Website,
    mnuControl_Exit,
  };

  TPopupMenu();
  void SetChecked(Item item, bool checked);
  bool Checked(Item item) const;
  // Pops the menu up at a screen point for owner (which must be foreground)
  // and returns the chosen item, 0 when none.
  UINT Popup(HWND owner, POINT at) const;

 private:
  ui::UniqueMenu FMenu;
};
