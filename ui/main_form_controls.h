// main_form_controls.h - TMainFormControls: the controls of the main window at
// their places, with their fonts, colours and tab order, and the small
// operations on them (status text, list items). Main thread only.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "ui/win_handles.h"

// Control identifiers, in tab order where it matters.
enum TControlId : int {
  idPnlTop = 100,
  idLblTop,
  idShpTop,
  idLblStep1,
  idBtnAdd,
  idBtnDel,
  idLvwSharedDirs,
  idLblStep2,
  idBtnStart,
  idBtnStop,
  idGrpNotice,
  idLblUploadDir,
  idEdtUploadDir,
  idLblUrl,
  idEdtUrl,
  idLblStatus,
  idBtnAddresses,  // beside edtUrl: the machine's other addresses
};

class TMainFormControls {
 public:
  static constexpr int kClientWidth = 402;
  static constexpr int kClientHeight = 368;

  // Creates every control as a child of form; children die with the form.
  void Create(HWND form, HINSTANCE instance);

  // The status text, right-aligned with its right edge kept at 390.
  void SetStatus(const std::string& text);
  void SetText(HWND control, const std::string& text);
  // btnAddresses' face (WM_DRAWITEM).
  void DrawAddressButton(const DRAWITEMSTRUCT& item) const;
  // Colours of labels, read-only edits and the group box (WM_CTLCOLORSTATIC).
  HBRUSH StaticColors(HWND control, HDC dc) const;

  void AppendItem(const std::string& path);
  void DeleteItem(int index);
  void ClearItems();
  int SelectedIndex() const;  // -1 when nothing is selected
  int SelectedCount() const;

  HFONT Font() const { return FFont.get(); }

  HWND pnlTop = nullptr, lblTop = nullptr, shpTop = nullptr;
  HWND lblStep1 = nullptr, btnAdd = nullptr, btnDel = nullptr, lvwSharedDirs = nullptr;
  HWND lblStep2 = nullptr, btnStart = nullptr, btnStop = nullptr;
  HWND grpNotice = nullptr, lblUploadDir = nullptr, edtUploadDir = nullptr, lblUrl = nullptr, edtUrl = nullptr;
  HWND lblStatus = nullptr;
  HWND btnAddresses = nullptr;

 private:
  HWND Child(HWND parent, const char* cls, const char* text, DWORD style, DWORD exStyle, int x, int y, int w,
             int h, int id, HFONT font);
  HWND Label(HWND parent, const char* text, int x, int y, int id, HFONT font, DWORD align = SS_LEFT);
  SIZE TextSize(HWND window, const std::string& text, HFONT font) const;
  void CreateTopPanel(HWND form);
  void CreateList(HWND form);
  void CreateNotice(HWND form);
  void CreateAddressButton(HWND form);

  HINSTANCE FInstance = nullptr;
  ui::UniqueFont FFont;
  ui::UniqueFont FBoldFont;
  ui::UniqueImageList ImageList1;
};
