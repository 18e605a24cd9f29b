// main_form_tray.cpp - TfrmMain: the tray icon and its clicks, hiding to and
// showing from the tray, the message-box bracket and the menu commands.
#include <windows.h>
#include <shellapi.h>

#include "config/kelv.h"
#include "ui/application_window.h"
#include "ui/main_form.h"
#include "ui/message_box.h"

namespace {
// This project's own contact addresses.
constexpr char kContactMail[] = "mailto:ostrel-kelv@example.org";
constexpr char kWebsite[] = "http://ostrel-kelv.example.org/";
}  // namespace

void TfrmMain::AddTrayIcon() {
  char caption[256] = {};
  GetWindowTextA(Handle(), caption, sizeof caption);
  FTrayIcon.Add(Handle(), FSmallIcon.get(), caption);
}

int TfrmMain::ShowMessageBox(const std::string& text, UINT type) {
  return TMessageBoxBracket(FTrayIcon, Handle(), Title()).Show(text, type);
}

// The four tests run one after the other on the same event.
void TfrmMain::HandleTrayEvent(LPARAM event) {
  if (event == WM_LBUTTONUP && !FDblClicked) ShowHideWindow(!FVisible);
  if (event == WM_LBUTTONUP && FDblClicked) {
    FDblClicked = false;
    if (FVisible) SetForegroundWindow(FApplication.Handle());
  }
  if (event == WM_LBUTTONDBLCLK) {
    FDblClicked = true;
    if (FVisible) SetForegroundWindow(FApplication.Handle());
  }
  if (event == WM_RBUTTONUP) PopupControlMenu();
}

void TfrmMain::PopupControlMenu() {
  // The menu's owner must be the foreground window, or the menu would not
  // close when the user clicks elsewhere.
  SetForegroundWindow(FApplication.Handle());
  FApplication.ProcessMessages();
  POINT at;
  GetCursorPos(&at);
  switch (mnuControl.Popup(FApplication.Handle(), at)) {
    case TPopupMenu::mnuControl_Show: mnuControl_ShowClick(); break;
    case TPopupMenu::mnuControl_AutoRun: mnuControl_AutoRunClick(); break;
    case TPopupMenu::mnuControl_Email: mnuControl_EmailClick(); break;
    case TPopupMenu::mnuControl_Website: mnuControl_WebsiteClick(); break;
    case TPopupMenu::mnuControl_Exit: mnuControl_ExitClick(); break;
    default: break;
  }
}

// Runs after every message: a minimized application ends hidden in the tray.
// The window counts as invisible from here on, so the rule fires once.
void TfrmMain::MinimizeToTrayRule() {
  if (!FApplication.Iconic() || !FVisible) return;
  FVisible = false;
  SetForegroundWindow(FindWindowA("Shell_TrayWnd", ""));
  FApplication.ProcessMessages();
  ShowHideWindow(false);
}

void TfrmMain::ShowHideWindow(bool show) {
  if (show) {
    FApplication.SetExStyle(0);
    ShowWindow(FApplication.Handle(), SW_SHOW);
    FApplication.Restore();
    ShowWindow(Handle(), SW_SHOW);
    FVisible = true;
    SetForegroundWindow(FApplication.Handle());
  } else if (FApplication.Iconic()) {
    ShowWindow(FApplication.Handle(), SW_HIDE);
    FApplication.SetExStyle(WS_EX_TOOLWINDOW);
    ShowWindow(Handle(), SW_HIDE);
    FVisible = false;
  } else {
    FApplication.Minimize();  // the tray rule completes the hiding
  }
}

void TfrmMain::mnuControl_ShowClick() { ShowHideWindow(!FVisible); }

void TfrmMain::mnuControl_AutoRunClick() {
  bool checked = mnuControl.Checked(TPopupMenu::mnuControl_AutoRun);
  mnuControl.SetChecked(TPopupMenu::mnuControl_AutoRun, !checked);
  TKelv::SetAutoRun(checked ? "0" : "1");
  ShowMessageBox(checked ? "This program will not run automatically when Windows starts!"
                         : "This program will run automatically when Windows starts!",
                 MB_OK | MB_ICONINFORMATION);
}

void TfrmMain::mnuControl_EmailClick() {
  ShellExecuteA(Handle(), "open", kContactMail, "", "", SW_SHOWNORMAL);
}

void TfrmMain::mnuControl_WebsiteClick() {
  ShellExecuteA(Handle(), "open", "iexplore", kWebsite, "", SW_SHOWNORMAL);
}

void TfrmMain::mnuControl_ExitClick() { SendMessageA(Handle(), WM_CLOSE, 0, 0); }
