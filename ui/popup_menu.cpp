// popup_menu.cpp - TPopupMenu: builds mnuControl and pops it up.
#include "ui/popup_menu.h"

TPopupMenu::TPopupMenu() : FMenu(CreatePopupMenu()) {
  HMENU menu = FMenu.get();
  AppendMenuA(menu, MF_STRING, mnuControl_Show, "&Show/Hide Main Window");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, mnuControl_AutoRun, "&Run Automatically When Windows Starts");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, mnuControl_Email, "&Email Me...");
  AppendMenuA(menu, MF_STRING, mnuControl_Website, "Visit Website...");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, mnuControl_Exit, "&Exit");
  SetMenuDefaultItem(menu, mnuControl_Show, FALSE);
}

void TPopupMenu::SetChecked(Item item, bool checked) {
  CheckMenuItem(FMenu.get(), item, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool TPopupMenu::Checked(Item item) const {
  return (GetMenuState(FMenu.get(), item, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

UINT TPopupMenu::Popup(HWND owner, POINT at) const {
  UINT chosen = static_cast<UINT>(TrackPopupMenu(FMenu.get(), TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                                 at.x, at.y, 0, owner, nullptr));
  // Lets the menu close properly when the user clicks elsewhere next time.
  PostMessageA(owner, WM_NULL, 0, 0);
  return chosen;
}
