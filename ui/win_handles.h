// win_handles.h - move-only owners for the window system's handles and COM
// pointers, so nothing is freed by hand on one path and forgotten on another.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <memory>
#include <type_traits>

namespace ui {

struct WindowDeleter {
  void operator()(HWND h) const { DestroyWindow(h); }
};
struct MenuDeleter {
  void operator()(HMENU h) const { DestroyMenu(h); }
};
struct IconDeleter {
  void operator()(HICON h) const { DestroyIcon(h); }
};
struct GdiDeleter {
  void operator()(HGDIOBJ h) const { DeleteObject(h); }
};
struct ImageListDeleter {
  void operator()(HIMAGELIST h) const { ImageList_Destroy(h); }
};
struct PidlDeleter {
  void operator()(LPITEMIDLIST p) const { CoTaskMemFree(p); }
};
struct ComDeleter {
  void operator()(IUnknown* p) const { p->Release(); }
};

using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter>;
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiDeleter>;
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiDeleter>;
using UniqueImageList = std::unique_ptr<std::remove_pointer_t<HIMAGELIST>, ImageListDeleter>;
using UniquePidl = std::unique_ptr<ITEMIDLIST, PidlDeleter>;
template <typename T>
using ComPtr = std::unique_ptr<T, ComDeleter>;

// CoInitialize for the thread's lifetime: a single-threaded apartment.
class ComApartment {
 public:
  ComApartment() : FInitialized(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComApartment() {
    if (FInitialized) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool FInitialized;
};

}  // namespace ui
