// main_form_php.cpp - TfrmMain: PHP set up from the window. When Start finds
// no CGI interpreter, the current PHP for Windows is looked up, the user is
// asked once per run of the program, and on Yes it is downloaded and set up
// while a progress window shows how it goes; then Start goes on. Only a start
// by the user asks: the start with Windows and the service never do.
#include <windows.h>
#include <shellapi.h>

#include "base/constants.h"
#include "base/program_env.h"
#include "getphp/runtime_check.h"
#include "getphp/setup_job.h"
#include "http/web_server.h"
#include "ui/main_form.h"
#include "ui/php_progress.h"

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

// The end of Start: what the interpreter check found (unless a box has just
// said it), and the site in the browser.
void TfrmMain::FinishStart(bool tellAboutInterpreter) {
  if (tellAboutInterpreter) TellAboutInterpreter();
  if (!FWebServer->Active()) return;
  // The host page may have made a new code since the window showed the address.
  const std::string address = ServerAddress();
  FControls.SetText(FControls.edtUrl, address);
  ShellExecuteA(Handle(), "open", "iexplore", address.c_str(), "", SW_SHOWNORMAL);
}

void TfrmMain::EndPhpSetup() {
  FPhpProgress.reset();
  FPhpSetup.reset();  // cancels and waits
}
