// application_window.cpp - TApplicationWindow: the owner window, its title and
// taskbar button, and the message loop.
#include "ui/application_window.h"

#include "ui/window_procedure.h"

namespace {
constexpr char kClassName[] = "OstrelApplication";
}

TApplicationWindow::TApplicationWindow(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ui::RoutedWindowProc<TApplicationWindow>;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);
  // Zero-sized at the centre of the screen: never seen, only its taskbar button.
  FHandle.reset(CreateWindowExA(0, kClassName, "", WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU |
                                WS_MINIMIZEBOX, GetSystemMetrics(SM_CXSCREEN) / 2,
                                GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr, nullptr, instance, this));
}

std::string TApplicationWindow::Title() const {
  char text[1024] = {};
  GetWindowTextA(Handle(), text, sizeof text);
  return text;
}

void TApplicationWindow::SetTitle(const std::string& title) { SetWindowTextA(Handle(), title.c_str()); }

void TApplicationWindow::SetExStyle(DWORD exStyle) {
  SetWindowLongA(Handle(), GWL_EXSTYLE, static_cast<LONG>(exStyle));
  SendMessageA(Handle(), WM_NCCREATE, 0, 0);
}

void TApplicationWindow::Minimize() {
  if (!Iconic()) ShowWindow(Handle(), SW_MINIMIZE);
}

void TApplicationWindow::Restore() {
  if (Iconic()) ShowWindow(Handle(), SW_RESTORE);
}

void TApplicationWindow::Dispatch(MSG& msg) {
  if (FMainWindow != nullptr && IsDialogMessageA(FMainWindow, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

void TApplicationWindow::ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Dispatch(msg);
  }
}

void TApplicationWindow::Run() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
}

LRESULT TApplicationWindow::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  // Focus that lands on the invisible owner belongs to the main window (or the
  // box it has open).
  if (msg == WM_SETFOCUS && FMainWindow != nullptr) {
    HWND target = GetLastActivePopup(FMainWindow);
    if (IsWindowVisible(target) && IsWindowEnabled(target)) {
      SetFocus(target);
      return 0;
    }
  }
  // Closing from the taskbar (the button's Close, the system's "End task")
  // reaches this window: it closes the main window, which asks first.
  if (msg == WM_CLOSE && FMainWindow != nullptr) {
    SendMessageA(FMainWindow, WM_CLOSE, 0, 0);
    return 0;
  }
  if (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_RESTORE && FMainWindow != nullptr) {
    LRESULT result = DefWindowProcA(hwnd, msg, wParam, lParam);
    ShowWindow(FMainWindow, SW_SHOW);
    return result;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}
