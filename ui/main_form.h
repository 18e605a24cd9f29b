// main_form.h - TfrmMain: the program's only window. It owns the web server,
// the tray icon and its menu, and the shared-directory list; it handles the
// automatic start, the registered messages and hiding to the tray.
// Everything here runs on the window's (main) thread.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "config/dir_list.h"
#include "ui/address_chooser.h"
#include "ui/main_form_controls.h"
#include "ui/popup_menu.h"
#include "ui/tray_icon.h"
#include "ui/win_handles.h"

class TApplicationWindow;
class TPhpProgress;
class TSetupJob;
class TWebServer;
struct TSetupOutcome;

class TfrmMain {
 public:
  TfrmMain(TApplicationWindow& application, HINSTANCE instance);
  ~TfrmMain();
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;

  // Creates the window (hidden) and runs FormCreate; afterwards the
  // application's ShowMainForm says whether Show is due.
  void Create();
  void Show();
  HWND Handle() const { return FHandle.get(); }

  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  // Window procedure: the window's own handling first, then HandleWindowMessage.
  LRESULT DefaultHandling(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void HandleWindowMessage(UINT msg, LPARAM lParam);
  void OnCommand(int id);
  void ShowError(const std::string& message);

  // Creation and ending (main_form.cpp).
  void FormCreate();
  void FormCreateSteps();
  void FinishCreate();
  bool FormClose();
  void FormDestroy();
  void CleanUp();

  // Tray icon, hiding and the menu (main_form_tray.cpp).
  void AddTrayIcon();
  void HandleTrayEvent(LPARAM event);
  void ShowHideWindow(bool show);
  void MinimizeToTrayRule();
  void PopupControlMenu();
  int ShowMessageBox(const std::string& text, UINT type);
  void mnuControl_ShowClick();
  void mnuControl_AutoRunClick();
  void mnuControl_EmailClick();
  void mnuControl_WebsiteClick();
  void mnuControl_ExitClick();

  // Shared directories, Stop and the controls' state (main_form_server.cpp).
  void LoadDirList();
  void SaveDirList();
  void btnAddClick();
  void btnDelClick();
  void lvwSharedDirsChange();
  void btnStopClick();
  void UpdateControls(bool started);

  // Start, in the order it runs (main_form_start.cpp): the server starts and
  // checks its interpreter; PHP is offered and set up when none was found; the
  // end tells what was found, shows the address and opens the browser.
  void btnStartClick();
  void StartServer(bool byUser);  // byUser: Start pressed, not the start with Windows
  // Posted by the web server's check once its verdict is known, so that the
  // window stays responsive while the check runs.
  static constexpr UINT kInterpreterCheckedMessage = WM_USER + 2;
  void InterpreterChecked();  // the offer, the balloon and the browser, once the verdict is in
  bool OfferPhp();  // true: the set-up has begun, and it ends Start itself
  void ShowPhpProgress();
  void HidePhpProgress();
  void PhpSetupPhaseEnded();  // kPhpSetupMessage, posted by the job's thread
  static constexpr UINT kPhpSetupMessage = WM_APP + 1;
  void PhpSetUp(const TSetupOutcome& outcome);
  void EndPhpSetup();
  void FinishStart(bool tellAboutInterpreter);
  void TellAboutInterpreter();
  // Puts the address to give out in the window's box, and returns it.
  std::string ShowServerAddress();
  std::string ServerAddress();  // the address given out
  bool Serving() const;         // the server exists and is active

  // The user picks another address; the system tells of one that came or went (main_form.cpp).
  void btnAddressesClick();
  // Posted by the system's thread when an address comes or goes.
  static constexpr UINT kAddressesChangedMessage = WM_APP + 2;
  void AddressesChanged();

  std::string Title() const;

  TApplicationWindow& FApplication;
  HINSTANCE FInstance;
  ui::UniqueWindow FHandle;
  ui::UniqueIcon FIcon;
  ui::UniqueIcon FSmallIcon;
  TMainFormControls FControls;
  TPopupMenu mnuControl;
  TDirList FDirs;
  TAddressChooser FAddresses;

  UINT FTaskbarCreatedMsg = 0;
  TTrayIcon FTrayIcon;  // holds FTrayIconData, the record of every Shell_NotifyIconA call
  bool FDblClicked = false;
  UINT FCloseSelfMsg = 0;
  std::unique_ptr<TWebServer> FWebServer;
  std::unique_ptr<TSetupJob> FPhpSetup;  // while PHP is looked up or set up
  std::unique_ptr<TPhpProgress> FPhpProgress;
  bool FPhpSetupInstalling = false;  // the job's phase: false while looking up
  bool FPhpOffered = false;          // the user is asked once per run
  bool FStartByUser = false;     // the last Start was the user's (not the start with Windows)
  bool FVerdictAwaited = false;  // the last Start's interpreter verdict has yet to be heard

  bool FVisible = false;    // the window's Visible property, kept apart from IsWindowVisible
  bool FCreating = false;   // FormCreate has not finished
  bool FDestroyed = false;  // WM_DESTROY has run
};
