// window_procedure.h - ties a window object to its HWND in WM_NCCREATE and
// routes every later message to the object's HandleMessage method.
#pragma once
#include <windows.h>

namespace ui {

// T provides: LRESULT HandleMessage(HWND, UINT, WPARAM, LPARAM).
// The object is passed as CreateWindowExA's last argument.
template <typename T>
LRESULT CALLBACK RoutedWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  T* self = reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  // WM_NCCREATE is also sent by hand with lParam 0 after a style change: only
  // the real one carries the creation record.
  if (msg == WM_NCCREATE && self == nullptr && lParam != 0) {
    self = static_cast<T*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return self->HandleMessage(hwnd, msg, wParam, lParam);
}

}  // namespace ui
