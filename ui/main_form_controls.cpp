// main_form_controls.cpp - TMainFormControls: creates the main window's
// controls at their places and keeps their look.
#include "ui/main_form_controls.h"

#include <commctrl.h>

#include <vector>

#include "ui/icon_resources.h"

namespace {

constexpr char kPanelClass[] = "OstrelPanel";
constexpr int kStatusRight = 390;

// The top panel paints its own white background (no themed parent background
// shows through), its label on white and its one-pixel line in silver.
LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CTLCOLORSTATIC) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetBkMode(dc, TRANSPARENT);
    bool line = GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == idShpTop;
    return reinterpret_cast<LRESULT>(GetStockObject(line ? LTGRAY_BRUSH : WHITE_BRUSH));
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Read-only edits keep the caret where the user puts it: no select-all when
// they are tabbed into.
LRESULT CALLBACK NoAutoSelectProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
  if (msg == WM_GETDLGCODE) result &= ~DLGC_HASSETSEL;
  return result;
}

ui::UniqueFont MakeFont(bool bold) {
  return ui::UniqueFont(CreateFontA(-11, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    DEFAULT_PITCH | FF_DONTCARE, "Tahoma"));
}

// A fully transparent 16 x 16 icon: image 0 of the list, shown beside each item.
HICON MakeBlankIcon(HINSTANCE instance) {
  std::vector<BYTE> andMask(16 * 16 / 8, 0xFF);
  std::vector<BYTE> xorMask(16 * 16 / 8, 0x00);
  return CreateIcon(instance, 16, 16, 1, 1, andMask.data(), xorMask.data());
}

}  // namespace

HWND TMainFormControls::Child(HWND parent, const char* cls, const char* text, DWORD style, DWORD exStyle, int x,
                              int y, int w, int h, int id, HFONT font) {
  HWND hwnd = CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), FInstance, nullptr);
  SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return hwnd;
}

SIZE TMainFormControls::TextSize(HWND window, const std::string& text, HFONT font) const {
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, font);
  RECT r = {0, 0, 0, 0};
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE | DT_LEFT);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// A label sized to its text.
HWND TMainFormControls::Label(HWND parent, const char* text, int x, int y, int id, HFONT font, DWORD align) {
  SIZE size = TextSize(parent, text, font);
  return Child(parent, "STATIC", text, align, 0, x, y, size.cx, size.cy, id, font);
}

void TMainFormControls::CreateTopPanel(HWND form) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PanelProc;
  wc.hInstance = FInstance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kPanelClass;
  RegisterClassA(&wc);
  pnlTop = Child(form, kPanelClass, "", WS_CLIPSIBLINGS, 0, 0, 0, kClientWidth, 46, idPnlTop, FFont.get());
  lblTop = Label(pnlTop, "Share files with friends or colleagues.", 12, 16, idLblTop, FBoldFont.get());
  shpTop = Child(pnlTop, "STATIC", "", SS_LEFT, 0, 0, 44, kClientWidth, 1, idShpTop, FFont.get());
}

void TMainFormControls::CreateList(HWND form) {
  lvwSharedDirs = Child(form, WC_LISTVIEWA, "",
                        WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER | LVS_SHAREIMAGELISTS,
                        WS_EX_CLIENTEDGE, 12, 83, 378, 133, idLvwSharedDirs, FFont.get());
  SendMessageA(lvwSharedDirs, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  LVCOLUMNA column = {};
  column.mask = LVCF_WIDTH | LVCF_TEXT;
  column.cx = 0;
  column.pszText = const_cast<char*>("");
  SendMessageA(lvwSharedDirs, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  column.cx = 345;
  column.pszText = const_cast<char*>("Directory");
  SendMessageA(lvwSharedDirs, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));

  ImageList1.reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0));
  ui::UniqueIcon blank(MakeBlankIcon(FInstance));
  ui::UniqueIcon page(static_cast<HICON>(
      LoadImageA(FInstance, MAKEINTRESOURCEA(IDI_DOCPAGE), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
  ImageList_AddIcon(ImageList1.get(), blank.get());
  ImageList_AddIcon(ImageList1.get(), page.get());
  SendMessageA(lvwSharedDirs, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(ImageList1.get()));
}

// The group's labels and edits are siblings laid over the group box, placed
// at the group's offsets, so that their messages reach the form.
void TMainFormControls::CreateNotice(HWND form) {
  constexpr int gx = 12, gy = 249;
  grpNotice = Child(form, "BUTTON", "", BS_GROUPBOX, 0, gx, gy, 378, 86, idGrpNotice, FFont.get());
  constexpr DWORD edtStyle = WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL;
  lblUploadDir = Label(form, "Default upload directory:", gx + 13, gy + 23, idLblUploadDir, FFont.get());
  edtUploadDir = Child(form, "EDIT", "", edtStyle, WS_EX_CLIENTEDGE, gx + 162, gy + 19, 202, 21, idEdtUploadDir,
                       FFont.get());
  lblUrl = Label(form, "Tell this URL to your friends:", gx + 13, gy + 54, idLblUrl, FFont.get());
  edtUrl = Child(form, "EDIT", "", edtStyle, WS_EX_CLIENTEDGE, gx + 162, gy + 50, 181, 21, idEdtUrl, FFont.get());
  SetWindowSubclass(edtUploadDir, NoAutoSelectProc, 1, 0);
  SetWindowSubclass(edtUrl, NoAutoSelectProc, 1, 0);
}

// After the group's edits in tab order: the address box's drop-down arrow,
// drawn as a drop-down list's own button (DrawAddressButton); its text names
// it for screen readers.
void TMainFormControls::CreateAddressButton(HWND form) {
  btnAddresses = Child(form, "BUTTON", "Other addresses", WS_TABSTOP | BS_OWNERDRAW, 0, 355, 299, 21, 21,
                       idBtnAddresses, FFont.get());
}

void TMainFormControls::DrawAddressButton(const DRAWITEMSTRUCT& item) const {
  RECT r = item.rcItem;
  UINT state = DFCS_SCROLLCOMBOBOX;
  if ((item.itemState & ODS_SELECTED) != 0) state |= DFCS_PUSHED;
  if ((item.itemState & ODS_DISABLED) != 0) state |= DFCS_INACTIVE;
  DrawFrameControl(item.hDC, &r, DFC_SCROLL, state);
  if ((item.itemState & ODS_FOCUS) != 0) {
    InflateRect(&r, -3, -3);
    DrawFocusRect(item.hDC, &r);
  }
}

// Creation order is tab order: Add, Delete, the list, Start, Stop, the group's
// two edits, then the addresses' button.
void TMainFormControls::Create(HWND form, HINSTANCE instance) {
  FInstance = instance;
  FFont = MakeFont(false);
  FBoldFont = MakeFont(true);
  CreateTopPanel(form);
  lblStep1 = Label(form, "1.Shared directories:", 12, 60, idLblStep1, FFont.get());
  btnAdd = Child(form, "BUTTON", "&Add...", WS_TABSTOP | BS_PUSHBUTTON, 0, 237, 55, 74, 23, idBtnAdd, FFont.get());
  btnDel = Child(form, "BUTTON", "&Delete", WS_TABSTOP | BS_PUSHBUTTON, 0, 316, 55, 74, 23, idBtnDel, FFont.get());
  CreateList(form);
  lblStep2 = Label(form, "2.Press the right button:", 12, 228, idLblStep2, FFont.get());
  btnStart = Child(form, "BUTTON", "&Start", WS_TABSTOP | BS_PUSHBUTTON, 0, 237, 223, 74, 23, idBtnStart,
                   FFont.get());
  btnStop = Child(form, "BUTTON", "&Stop", WS_TABSTOP | BS_PUSHBUTTON, 0, 316, 223, 74, 23, idBtnStop, FFont.get());
  CreateNotice(form);
  lblStatus = Label(form, "Status: stopped", 0, 343, idLblStatus, FBoldFont.get(), SS_RIGHT);
  SetStatus("Status: stopped");
  CreateAddressButton(form);
}

void TMainFormControls::SetText(HWND control, const std::string& text) { SetWindowTextA(control, text.c_str()); }

// Moved and sized before the new text is drawn, and without copying the old
// picture, so that no part of the previous text survives.
void TMainFormControls::SetStatus(const std::string& text) {
  SIZE size = TextSize(lblStatus, text, FBoldFont.get());
  HWND form = GetParent(lblStatus);
  RECT old;
  GetWindowRect(lblStatus, &old);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&old), 2);
  SetWindowPos(lblStatus, nullptr, kStatusRight - size.cx, 343, size.cx, size.cy,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
  SetWindowTextA(lblStatus, text.c_str());
  InvalidateRect(form, &old, TRUE);
  InvalidateRect(lblStatus, nullptr, TRUE);
}

HBRUSH TMainFormControls::StaticColors(HWND control, HDC dc) const {
  if (control == edtUploadDir || control == edtUrl) {
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  } else {
    SetBkMode(dc, TRANSPARENT);
    if (control == lblStatus) SetTextColor(dc, RGB(255, 0, 0));
  }
  return GetSysColorBrush(COLOR_BTNFACE);
}

void TMainFormControls::AppendItem(const std::string& path) {
  int count = static_cast<int>(SendMessageA(lvwSharedDirs, LVM_GETITEMCOUNT, 0, 0));
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = count;
  item.pszText = const_cast<char*>("");
  item.iImage = 0;
  int index = static_cast<int>(SendMessageA(lvwSharedDirs, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  LVITEMA sub = {};
  sub.iSubItem = 1;
  sub.pszText = const_cast<char*>(path.c_str());
  SendMessageA(lvwSharedDirs, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&sub));
}

void TMainFormControls::DeleteItem(int index) { SendMessageA(lvwSharedDirs, LVM_DELETEITEM, index, 0); }

void TMainFormControls::ClearItems() { SendMessageA(lvwSharedDirs, LVM_DELETEALLITEMS, 0, 0); }

int TMainFormControls::SelectedIndex() const {
  return static_cast<int>(SendMessageA(lvwSharedDirs, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

int TMainFormControls::SelectedCount() const {
  return static_cast<int>(SendMessageA(lvwSharedDirs, LVM_GETSELECTEDCOUNT, 0, 0));
}
