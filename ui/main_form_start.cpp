// main_form_start.cpp - TfrmMain: Start, read top to bottom. The server starts
// and checks its interpreter on a thread of its own; once the verdict is in,
// a Start by the user that found no CGI interpreter offers PHP for Windows
// (looked up, asked once per run of the program, downloaded and set up while
// a progress window shows how it goes, then Start again); every Start ends by
// telling what it found, showing the address and opening the site in the
// browser. The start with Windows and the service never ask: they only tell.
#include <windows.h>
#include <shellapi.h>

#include "base/constants.h"
#include "base/program_env.h"
#include "config/site_access.h"
#include "getphp/runtime_check.h"
#include "getphp/setup_job.h"
#include "http/web_server.h"
#include "net/local_ip.h"
#include "ui/main_form.h"
#include "ui/php_progress.h"

namespace {
std::string FileNameOf(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }
}  // namespace

// ---- Start ------------------------------------------------------------------

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

// ---- Check: the verdict is in -----------------------------------------------

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

// ---- Offer: PHP for Windows, when Start found no CGI interpreter --------------

bool TfrmMain::OfferPhp() {
  if (FPhpOffered || FPhpSetup || FWebServer->Interpreter().Kind == TInterpreterKind::Cgi) return false;
  HWND self = Handle();
  FPhpSetup = std::make_unique<TSetupJob>(GetAppDir(), [self] { PostMessageA(self, kPhpSetupMessage, 0, 0); });
  FPhpSetupInstalling = false;
  FPhpSetup->StartLookUp();
  ShowPhpProgress();
  return true;
}

void TfrmMain::ShowPhpProgress() {
  EnableWindow(Handle(), FALSE);
  FTrayIcon.SetCallbackMessage(0);  // as while a message box is open
  FPhpProgress = std::make_unique<TPhpProgress>(Handle(), FInstance, Title(), FControls.Font(), *FPhpSetup);
}

void TfrmMain::HidePhpProgress() {
  // The owner first, so that activation comes back to it.
  EnableWindow(Handle(), TRUE);
  FPhpProgress.reset();
  FTrayIcon.SetCallbackMessage(TTrayIcon::kCallbackMessage);
}

// The look-up or the set-up has ended: after the look-up the user is asked,
// after the set-up its outcome is told.
void TfrmMain::PhpSetupPhaseEnded() {
  if (!FPhpSetup) return;
  HidePhpProgress();
  if (FPhpSetupInstalling) {
    const TSetupOutcome outcome = FPhpSetup->Outcome();
    FPhpSetup.reset();
    PhpSetUp(outcome);
    return;
  }
  const TReleaseLookup lookup = FPhpSetup->Lookup();
  // Without a release to offer (no network, say) Start ends as it always did;
  // the next Start looks again.
  if (!lookup.Error.empty() || lookup.Cancelled) {
    FPhpOffered = lookup.Cancelled;
    FPhpSetup.reset();
    FinishStart(true);
    return;
  }
  FPhpOffered = true;
  const std::string question = "The site's pages need PHP, and the php folder holds none. Download PHP " +
                               lookup.Release.Version + " for Windows (" + SizeForPeople(lookup.Release.Size) +
                               ") from the PHP project and set it up now?";
  if (ShowMessageBox(question, MB_YESNO | MB_ICONQUESTION) != IDYES) {
    FPhpSetup.reset();
    FinishStart(true);
    return;
  }
  FPhpSetupInstalling = true;
  FPhpSetup->StartSetUp();
  ShowPhpProgress();
}

// ---- Set up: what the set-up came to ------------------------------------------

void TfrmMain::PhpSetUp(const TSetupOutcome& outcome) {
  switch (outcome.Result) {
    case TSetupResult::Ready:
      ShowMessageBox(outcome.Message, MB_OK | MB_ICONINFORMATION);
      // Start again: the server takes the interpreter that it finds at Start;
      // its verdict ends this Start (the offer is not made twice).
      StartServer(true);
      UpdateControls(FWebServer->Active());
      return;
    case TSetupResult::RuntimeMissing:
      if (ShowMessageBox("PHP needs the Microsoft Visual C++ Redistributable (x64), which is not installed on this "
                         "computer. Open its download page now?",
                         MB_YESNO | MB_ICONWARNING) == IDYES)
        ShellExecuteA(Handle(), "open", kVcRuntimeUrl, "", "", SW_SHOWNORMAL);
      FinishStart(false);
      return;
    case TSetupResult::Cancelled:
      FinishStart(true);
      return;
    default:
      ShowMessageBox(outcome.Message, MB_OK | MB_ICONWARNING);
      FinishStart(false);
      return;
  }
}

// Closing the window ends a look-up or a set-up that is still running.
void TfrmMain::EndPhpSetup() {
  FPhpProgress.reset();
  FPhpSetup.reset();  // cancels and waits
}

// ---- Tell: the interpreter, the address, the site in the browser ---------------

// The end of Start: what the interpreter check found (unless a box has just
// said it), and the site in the browser.
void TfrmMain::FinishStart(bool tellAboutInterpreter) {
  if (tellAboutInterpreter) TellAboutInterpreter();
  if (!FWebServer->Active()) return;
  // The host page may have made a new code since the window showed the address.
  const std::string address = ShowServerAddress();
  ShellExecuteA(Handle(), "open", "iexplore", address.c_str(), "", SW_SHOWNORMAL);
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

// The address given out (the user's pick while the machine has it): while
// serving, of the addresses Start found (a change of network brings them in
// through AddressesChanged); else of the machine's asked afresh. In code mode
// it carries the code, as the site's own QR code does.
std::string TfrmMain::ServerAddress() {
  std::vector<TLocalAddress> own;
  if (Serving()) own = FWebServer->Addresses();
  if (own.empty()) own = LocalAddresses();  // raises when the machine has none
  return FAddresses.Refresh(kServerPort, LoadSiteAccess(), std::move(own));
}

bool TfrmMain::Serving() const { return FWebServer && FWebServer->Active(); }

// The one place the window shows the address to give out (at creation, at
// the end of every Start, and when the user picks another).
std::string TfrmMain::ShowServerAddress() {
  const std::string address = ServerAddress();
  FControls.SetText(FControls.edtUrl, address);
  return address;
}
