// main_form_server.cpp - TfrmMain: the shared-directory list and the Start and
// Stop buttons.
#include <windows.h>
#include <shellapi.h>

#include "base/constants.h"
#include "config/site_access.h"
#include "http/web_server.h"
#include "ui/application_window.h"
#include "ui/folder_browser.h"
#include "ui/main_form.h"

namespace {
constexpr UINT kBrowseFlags = 81;  // file-system folders only, an edit box, the resizable dialog

std::string FileNameOf(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }
}  // namespace

// In code mode the address carries the code, as the site's own QR code does.
std::string TfrmMain::ServerAddress() { return FAddresses.Refresh(kServerPort, LoadSiteAccess()); }

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

void TfrmMain::btnStartClick() {
  StartServer(true);
  UpdateControls(FWebServer->Active());
}

// The interpreter's verdict comes later, in InterpreterChecked: its check runs
// on a thread of its own, so that the window stays responsive meanwhile.
void TfrmMain::StartServer(bool byUser) {
  FStartByUser = byUser;
  FVerdictAwaited = true;
  FWebServer->Start(kServerPort);
}

// Once per Start, for the last Start only: a check that an earlier Start posted
// is passed over while a later one still runs (that one posts in turn). A
// Start by the user may offer PHP, then ends with the balloon and the browser;
// the start with Windows only shows the balloon.
void TfrmMain::InterpreterChecked() {
  if (!FVerdictAwaited || !FWebServer->InterpreterKnown()) return;
  FVerdictAwaited = false;
  if (!FStartByUser) TellAboutInterpreter();
  else if (!OfferPhp()) FinishStart(true);
}

void TfrmMain::btnStopClick() {
  try {
    FWebServer->Stop();
  } catch (...) {
  }
  UpdateControls(FWebServer->Active());
}

// Pages run only through PHP's CGI program. A balloon, never a box, says what
// is in its place: the copy that the service starts may have no desktop.
void TfrmMain::TellAboutInterpreter() {
  const TInterpreterCheck check = FWebServer->Interpreter();
  if (check.Kind == TInterpreterKind::Cgi) return;
  std::string what = "No PHP in the php folder.";
  if (check.Kind == TInterpreterKind::CommandLine)
    what = "php\\" + FileNameOf(check.Path) + " is PHP's command-line program, which cannot run pages.";
  else if (check.Kind == TInterpreterKind::NotCgi)
    what = "php\\" + FileNameOf(check.Path) + " did not answer as PHP's CGI program.";
  FTrayIcon.ShowBalloon("PHP pages are off", what + " Unzip PHP for Windows (x64 Non Thread Safe) into the php"
                                                    " folder, so that php\\php-cgi.exe exists, then press Stop and Start.");
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
