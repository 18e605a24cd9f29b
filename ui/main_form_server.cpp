// main_form_server.cpp - TfrmMain: the shared-directory list, the Stop button
// and the controls' state (Start is main_form_start.cpp).
#include <windows.h>

#include "http/web_server.h"
#include "ui/application_window.h"
#include "ui/folder_browser.h"
#include "ui/main_form.h"

namespace {
constexpr UINT kBrowseFlags = 81;  // file-system folders only, an edit box, the resizable dialog
}  // namespace

void TfrmMain::LoadDirList() {
  FDirs.Load();
  FControls.ClearItems();
  for (const std::string& path : FDirs.Items()) FControls.AppendItem(path);
}

void TfrmMain::SaveDirList() { FDirs.Save(); }

// The list view changes before the file is written: a failed write leaves the
// window showing the new list, and the error box says why.
void TfrmMain::btnAddClick() {
  std::string path = BrowseForFolder(FApplication.Handle(), Handle(), "Select a directory:", kBrowseFlags);
  std::size_t removed = TDirList::npos;
  if (!FDirs.Add(path, &removed)) return;
  if (removed != TDirList::npos) FControls.DeleteItem(static_cast<int>(removed));
  FControls.AppendItem(FDirs.Items().back());
  SaveDirList();
}

void TfrmMain::btnDelClick() {
  int selected = FControls.SelectedIndex();
  if (selected < 0) {
    EnableWindow(FControls.btnDel, FALSE);
    return;
  }
  if (ShowMessageBox("Do you want to delete?", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  FDirs.Delete(static_cast<std::size_t>(selected));
  FControls.DeleteItem(selected);
  SaveDirList();
}

void TfrmMain::lvwSharedDirsChange() { EnableWindow(FControls.btnDel, FControls.SelectedCount() > 0); }

void TfrmMain::btnStopClick() {
  try {
    FWebServer->Stop();
  } catch (...) {
  }
  UpdateControls(FWebServer->Active());
}

void TfrmMain::UpdateControls(bool started) {
  EnableWindow(FControls.btnAdd, !started);
  if (started) EnableWindow(FControls.btnDel, FALSE);
  EnableWindow(FControls.lvwSharedDirs, !started);
  EnableWindow(FControls.btnStart, !started);
  EnableWindow(FControls.btnStop, started);
  FControls.SetStatus(started ? "Status: started" : "Status: stopped");
  if (!started) EnableWindow(FControls.btnDel, FControls.SelectedCount() > 0);
}
