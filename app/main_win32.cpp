// main_win32.cpp - the program's entry on Windows: the service process, the
// service commands, -GETPHP, or the interactive copy with its window. Exit
// code 0 always, but for -GETPHP.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/run_mode.h"
#include "base/program_env.h"
#include "base/scoped_handle_win32.h"
#include "base/text.h"
#include "getphp/get_php_command.h"
#include "ui/application_window.h"
#include "ui/main_form.h"
#include "ui/win_handles.h"

namespace {

// Launches the "-auto" copy and ends the service process at once: the service
// serves nothing itself and reports no status.
void WINAPI ServiceMain(DWORD, LPSTR*) {
  ShellExecuteA(nullptr, "open", GetExePath().c_str(), "-auto", "", SW_SHOWNORMAL);
  ExitProcess(0);
}

// Returns at once when the process was not started by the service manager.
void RunServiceProcess() {
  char name[sizeof kServiceName];
  lstrcpyA(name, kServiceName);
  SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  StartServiceCtrlDispatcherA(table);
}

// The single-copy mutex, owned from creation; released on every way out.
class TOneCopyMutex {
 public:
  TOneCopyMutex() : FHandle(CreateMutexA(nullptr, TRUE, kOneCopyMutexName)) {
    FOwned = FHandle.Valid() && GetLastError() != ERROR_ALREADY_EXISTS;
  }
  ~TOneCopyMutex() {
    if (FOwned) ReleaseMutex(FHandle.Get());
  }
  TOneCopyMutex(const TOneCopyMutex&) = delete;
  TOneCopyMutex& operator=(const TOneCopyMutex&) = delete;
  bool Owned() const { return FOwned; }

 private:
  TScopedHandle FHandle;
  bool FOwned = false;
};

void RunInteractive(HINSTANCE instance) {
  TOneCopyMutex mutex;
  if (!mutex.Owned()) return;
  ui::ComApartment com;  // the firewall's objects need it, before the window exists
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  TApplicationWindow application(instance);
  application.SetTitle(kApplicationTitle);
  application.SetExStyle(WS_EX_TOOLWINDOW);  // no taskbar button until the window shows
  TfrmMain form(application, instance);
  form.Create();
  if (application.ShowMainForm()) form.Show();
  application.Run();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  try {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    // The same split of the command line that the start mode uses.
    std::vector<std::string> args = text::SplitCommandLine(GetCommandLineA());
    if (!args.empty()) args.erase(args.begin());
    TRunMode mode = SelectRunMode(startup.wShowWindow == SW_HIDE, args);
    if (mode == TRunMode::GetPhp) return RunGetPhpCommand();
    if (mode == TRunMode::ServiceProcess)
      RunServiceProcess();
    else if (mode == TRunMode::Interactive)
      RunInteractive(instance);
    else
      RunServiceCommand(mode, GetExePath());
  } catch (...) {
    // Nothing in the entry reports a failure.
  }
  return 0;
}
