// php_progress.cpp - TPhpProgress: a caption, two lines of text, a bar and
// Cancel, refreshed ten times a second from the job.
#include "ui/php_progress.h"

#include <commctrl.h>

#include <cstdio>

#include "getphp/setup_job.h"
#include "ui/window_procedure.h"

namespace {

constexpr char kClassName[] = "TPhpProgress";
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 100;
constexpr int kClientWidth = 360, kClientHeight = 118;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;

HWND Child(HWND parent, HINSTANCE instance, const char* cls, DWORD style, int x, int y, int w, int h, int id,
           HFONT font) {
  HWND child = CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return child;
}

std::string Megabytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024));
  return text;
}

}  // namespace

TPhpProgress::TPhpProgress(HWND owner, HINSTANCE instance, const std::string& caption, HFONT font, TSetupJob& job)
    : FJob(job) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ui::RoutedWindowProc<TPhpProgress>;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);  // fails harmlessly when registered before

  RECT frame = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  RECT over;
  GetWindowRect(owner, &over);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const int left = over.left + (over.right - over.left - width) / 2,
            top = over.top + (over.bottom - over.top - height) / 2;
  FHandle.reset(CreateWindowExA(WS_EX_DLGMODALFRAME, kClassName, caption.c_str(), kStyle, left, top, width, height,
                                owner, nullptr, instance, this));
  HWND self = Handle();
  FText = Child(self, instance, "STATIC", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, 12, 12, 336, 28, idText, font);
  FBar = Child(self, instance, PROGRESS_CLASSA, 0, 12, 46, 336, 16, idBar, font);
  FBytes = Child(self, instance, "STATIC", SS_LEFT | SS_NOPREFIX, 12, 72, 240, 16, idBytes, font);
  FCancel = Child(self, instance, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 274, 86, 74, 23, IDCANCEL, font);
  SetWindowTextA(FCancel, "Cancel");
  SendMessageA(FBar, PBM_SETRANGE32, 0, 1000);
  Refresh();
  SetTimer(self, kRefreshTimer, kRefreshMs, nullptr);
  ShowWindow(self, SW_SHOWNORMAL);
  SetForegroundWindow(self);
  SetFocus(FCancel);
}

LRESULT TPhpProgress::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_TIMER:
      Refresh();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) Cancel();
      return 0;
    case WM_CLOSE:  // the caption's close box, or Alt+F4: the same as Cancel
      Cancel();
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd, kRefreshTimer);
      return 0;
    case WM_NCDESTROY:
      FHandle.release();  // gone with its owner, or by the owner of this object
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void TPhpProgress::Refresh() {
  const std::string line = IsWindowEnabled(FCancel) ? FJob.CurrentLine() : "Cancelling...";
  if (line != FShownLine) SetWindowTextA(FText, (FShownLine = line).c_str());
  const std::uint64_t done = FJob.Done(), total = FJob.Total();
  std::string bytes;
  if (total > 0) {
    SendMessageA(FBar, PBM_SETPOS, static_cast<WPARAM>(done * 1000 / total), 0);
    bytes = Megabytes(done) + " of " + Megabytes(total) + " MB";
  } else if (done > 0) {
    bytes = Megabytes(done) + " MB";
  }
  if (bytes != FShownBytes) SetWindowTextA(FBytes, (FShownBytes = bytes).c_str());
}

void TPhpProgress::Cancel() {
  FJob.Cancel();
  EnableWindow(FCancel, FALSE);
  Refresh();
}
