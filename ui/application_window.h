// application_window.h - TApplicationWindow: the hidden top-level window that
// owns the main window, carries the application title and, without the
// tool-window style, the taskbar button; also the message loop.
// Main thread only.
#pragma once
#include <windows.h>

#include <string>

#include "ui/win_handles.h"

class TApplicationWindow {
 public:
  explicit TApplicationWindow(HINSTANCE instance);
  TApplicationWindow(const TApplicationWindow&) = delete;
  TApplicationWindow& operator=(const TApplicationWindow&) = delete;

  HWND Handle() const { return FHandle.get(); }
  // The application title reads as the window's text.
  std::string Title() const;
  void SetTitle(const std::string& title);
  // Replaces the whole extended style and sends WM_NCCREATE (0, 0) so that the
  // taskbar takes notice of the change.
  void SetExStyle(DWORD exStyle);

  // The window that activation is handed on to.
  void SetMainWindow(HWND mainWindow) { FMainWindow = mainWindow; }
  bool ShowMainForm() const { return FShowMainForm; }
  void SetShowMainForm(bool show) { FShowMainForm = show; }

  bool Iconic() const { return IsIconic(Handle()) != FALSE; }
  void Minimize();
  void Restore();
  // Dispatches every pending message; a quit request is kept for the loop.
  void ProcessMessages();
  void Terminate() { PostQuitMessage(0); }
  // Runs the message loop until Terminate; dialog keys go to the main window.
  void Run();

  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  void Dispatch(MSG& msg);

  ui::UniqueWindow FHandle;
  HWND FMainWindow = nullptr;
  bool FShowMainForm = true;
};
