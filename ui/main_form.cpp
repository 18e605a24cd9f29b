// main_form.cpp - TfrmMain: the window's creation, its message routing, and
// its ending (close with a question, destroy, the close-self message).
#include "ui/main_form.h"

#include <commctrl.h>

#include <exception>

#include "base/constants.h"
#include "base/program_env.h"
#include "config/kelv.h"
#include "config/site_access.h"
#include "getphp/setup_job.h"
#include "http/web_server.h"
#include "net/local_ip.h"
#include "sys/firewall.h"
#include "ui/application_window.h"
#include "ui/error_box.h"
#include "ui/icon_resources.h"
#include "ui/php_progress.h"
#include "ui/window_procedure.h"

namespace {
constexpr char kClassName[] = "TfrmMain";
// No WS_CLIPCHILDREN: the group box leaves its inside for the form to paint.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
}  // namespace

TfrmMain::TfrmMain(TApplicationWindow& application, HINSTANCE instance)
    : FApplication(application), FInstance(instance) {}

// The window goes first, while the server, the icon and the controls it uses exist.
TfrmMain::~TfrmMain() { FHandle.reset(); }

std::string TfrmMain::Title() const { return FApplication.Title(); }

void TfrmMain::Create() {
  FIcon.reset(static_cast<HICON>(LoadImageA(FInstance, MAKEINTRESOURCEA(IDI_MAINICON), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
  FSmallIcon.reset(static_cast<HICON>(LoadImageA(FInstance, MAKEINTRESOURCEA(IDI_MAINICON), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ui::RoutedWindowProc<TfrmMain>;
  wc.hInstance = FInstance;
  wc.hIcon = FIcon.get();
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);

  // Client area 402 x 368 whatever the frame's size, centred on the screen.
  RECT frame = {0, 0, TMainFormControls::kClientWidth, TMainFormControls::kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  FHandle.reset(CreateWindowExA(0, kClassName, "", kStyle, left, top, width, height, FApplication.Handle(),
                                nullptr, FInstance, this));
  FApplication.SetMainWindow(Handle());
  FControls.Create(Handle(), FInstance);
  FormCreate();
}

void TfrmMain::Show() {
  ShowWindow(FApplication.Handle(), SW_SHOWNA);
  ShowWindow(Handle(), SW_SHOWNORMAL);
  FVisible = true;
  SetForegroundWindow(Handle());
  SetFocus(FControls.btnAdd);
}

void TfrmMain::ShowError(const std::string& message) { ShowErrorBox(Handle(), Title(), message); }

// An error escaping a handler is shown in the error box and the program goes on.
LRESULT TfrmMain::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  try {
    result = DefaultHandling(hwnd, msg, wParam, lParam);
    if (!FDestroyed && !FCreating) HandleWindowMessage(msg, lParam);
  } catch (const std::exception& e) {
    ShowError(e.what());
  } catch (...) {
    ShowError("Unknown error");
  }
  return result;
}

LRESULT TfrmMain::DefaultHandling(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) OnCommand(LOWORD(wParam));
      return 0;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == FControls.lvwSharedDirs && header->code == LVN_ITEMCHANGED) lvwSharedDirsChange();
      return 0;
    }
    case WM_DRAWITEM:
      if (wParam != idBtnAddresses) break;
      FControls.DrawAddressButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<LRESULT>(
          FControls.StaticColors(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)));
    case WM_SYSCOMMAND:
      // The minimize button minimizes the application; the tray rule then hides it.
      if ((wParam & 0xFFF0) == SC_MINIMIZE) {
        FApplication.Minimize();
        return 0;
      }
      break;
    case WM_CLOSE:
      if (FormClose()) DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      FDestroyed = true;
      FormDestroy();
      FApplication.Terminate();
      return 0;
    case WM_NCDESTROY:
      FHandle.release();  // the window is gone; nothing left to destroy
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void TfrmMain::OnCommand(int id) {
  switch (id) {
    case idBtnAdd: btnAddClick(); break;
    case idBtnDel: btnDelClick(); break;
    case idBtnStart: btnStartClick(); break;
    case idBtnStop: btnStopClick(); break;
    case idBtnAddresses: btnAddressesClick(); break;
    default: break;
  }
}

// The pick holds at once: the box, and while serving the pages' address and
// the host page's list.
void TfrmMain::btnAddressesClick() {
  if (!FAddresses.Choose(Handle(), FControls.btnAddresses)) return;
  ShowServerAddress();
  if (Serving()) FWebServer->UseAddresses(FWebServer->Addresses());
}

// A new network shows at once: in the box, and while serving in the pages'
// address and the host page's list. A machine left without any address keeps
// what it showed, without a box: nobody asked.
void TfrmMain::AddressesChanged() {
  try {
    std::vector<TLocalAddress> own = LocalAddresses();
    const std::string address = FAddresses.Refresh(kServerPort, LoadSiteAccess(), own);
    if (!FAddresses.Changed()) return;
    FControls.SetText(FControls.edtUrl, address);
    if (Serving()) FWebServer->UseAddresses(std::move(own));
  } catch (...) {
  }
}

// The checks that follow the window's own handling of every message.
void TfrmMain::HandleWindowMessage(UINT msg, LPARAM lParam) {
  if (FCloseSelfMsg != 0 && msg == FCloseSelfMsg) {
    CleanUp();
    ExitProcess(0);
  }
  if (FTaskbarCreatedMsg != 0 && msg == FTaskbarCreatedMsg) FTrayIcon.AddAgain();
  MinimizeToTrayRule();
  if (msg == TTrayIcon::kCallbackMessage) HandleTrayEvent(lParam);
  if (msg == kInterpreterCheckedMessage) InterpreterChecked();
  if (msg == kPhpSetupMessage) PhpSetupPhaseEnded();
  if (msg == kAddressesChangedMessage) AddressesChanged();
}

// Errors of a step are shown and creation goes on with what must exist:
// the web server object, the window's state and the tray icon.
void TfrmMain::FormCreate() {
  FCreating = true;
  try {
    if (TKelv::GetStartMode() == 0 && !TKelv::GetAutoRun()) {
      // An automatic start that may not stay: no window, no icon, no server.
      FApplication.SetShowMainForm(false);
      FApplication.Terminate();
      FCreating = false;
      return;
    }
    FormCreateSteps();
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
  FinishCreate();
  FCreating = false;
}

void TfrmMain::FormCreateSteps() {
  try {
    AddFirewallException(Title(), GetExePath());
  } catch (...) {
  }
  TKelv::WritePhpIni();
  SetWindowTextA(Handle(), Title().c_str());
  SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FIcon.get()));
  SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(FSmallIcon.get()));
  FTaskbarCreatedMsg = RegisterWindowMessageA("TaskbarCreated");
  FCloseSelfMsg = RegisterWindowMessageA("OSTREL_KELV_CLOSESELF");
  FDblClicked = false;
  LoadDirList();
  mnuControl.SetChecked(TPopupMenu::mnuControl_AutoRun, TKelv::GetAutoRun());
  // The top panel always paints its own white background (its window class).
  EnableWindow(FControls.btnDel, FALSE);
  EnableWindow(FControls.btnStop, FALSE);
  FControls.SetText(FControls.edtUploadDir, TKelv::GetUploadDir());
  FAddresses.Watch(Handle(), kAddressesChangedMessage);
  FControls.SetStatus("Status: stopped");
}

void TfrmMain::FinishCreate() {
  if (FCloseSelfMsg == 0) {
    SetWindowTextA(Handle(), Title().c_str());
    FTaskbarCreatedMsg = RegisterWindowMessageA("TaskbarCreated");
    FCloseSelfMsg = RegisterWindowMessageA("OSTREL_KELV_CLOSESELF");
  }
  FWebServer = std::make_unique<TWebServer>();
  HWND window = Handle();
  FWebServer->OnInterpreterChecked = [window] { PostMessageA(window, kInterpreterCheckedMessage, 0, 0); };
  bool autoStart = false;
  try {
    autoStart = TKelv::GetStartMode() == 0 && TKelv::GetAutoRun();
    if (autoStart) StartServer(false);
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
  // After the start with Windows, whose Start has asked for the addresses.
  try {
    ShowServerAddress();
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
  if (autoStart) {
    UpdateControls(FWebServer->Active());
    FApplication.SetShowMainForm(false);
  } else {
    FApplication.SetExStyle(0);
    SetForegroundWindow(FApplication.Handle());
  }
  AddTrayIcon();
}

// False keeps the window open.
bool TfrmMain::FormClose() {
  if (ShowMessageBox("Do you want to exit?", MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
  ShowWindow(Handle(), SW_HIDE);
  FVisible = false;
  return true;
}

void TfrmMain::FormDestroy() { CleanUp(); }

void TfrmMain::CleanUp() {
  try {
    EndPhpSetup();
    FTrayIcon.Remove();
    if (FWebServer && FWebServer->Active()) FWebServer->Stop();
    FWebServer.reset();
  } catch (...) {
  }
}
