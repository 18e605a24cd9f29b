// folder_browser.cpp - SHBrowseForFolderA rooted at My Computer.
#include "ui/folder_browser.h"

#include <shlobj.h>

#include <vector>

#include "ui/win_handles.h"

int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM, LPARAM) {
  if (msg == BFFM_INITIALIZED) {
    RECT r;
    GetWindowRect(wnd, &r);
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    MoveWindow(wnd, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
               width, height, TRUE);
  }
  return 0;
}

std::string BrowseForFolder(HWND owner, HWND mainWindow, const std::string& title, UINT flags) {
  LPITEMIDLIST rootList = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(mainWindow, CSIDL_DRIVES, &rootList)) || rootList == nullptr) return "";
  ui::UniquePidl root(rootList);
  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.pidlRoot = root.get();
  info.pszDisplayName = nullptr;
  info.lpszTitle = title.c_str();
  info.ulFlags = flags;
  info.lpfn = BrowseCallback;
  info.lParam = 0;
  ui::UniquePidl chosen(SHBrowseForFolderA(&info));
  if (!chosen) return "";
  std::vector<char> path(4096, '\0');
  SHGetPathFromIDListA(chosen.get(), path.data());
  return path.data();
}
