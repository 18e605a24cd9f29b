// probe_main.cpp - the window tests' helper: reads the running program's
// window from another process (frame, controls, texts, tab order, message
// boxes, balloons) and pokes it (the close-self broadcast, tray events, box
// answers); also reads a program file's version resource.
// Usage: ostrel_probe state | trayarea | tabs | boxes | balloons | dialog | progress | closeself | tray <event>
//        | answer <id> [text the box says]
//        | minimize | close | appclose [sys] | spawn-hidden <program> [argument] | processes <file>
//        | untray | broadcast <registered message> | version <program file> | addresses-changed
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

HWND MainWindow() { return FindWindowA("TfrmMain", nullptr); }

// WM_GETTEXT rather than GetWindowText: an edit's text lives in the control.
std::string Text(HWND hwnd) {
  char text[512] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &ignored);
  return text;
}

std::string ClassOf(HWND hwnd) {
  char name[128] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

BOOL CALLBACK PrintControl(HWND child, LPARAM main) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, reinterpret_cast<HWND>(main), reinterpret_cast<POINT*>(&r), 2);
  std::printf("ctl %d %s %ld %ld %ld %ld enabled=%d text=%s\n", GetDlgCtrlID(child), ClassOf(child).c_str(),
              r.left, r.top, r.right - r.left, r.bottom - r.top, IsWindowEnabled(child) ? 1 : 0,
              Text(child).c_str());
  return TRUE;
}

int State() {
  HWND main = MainWindow();
  if (main == nullptr) {
    std::printf("window none\n");
    return 0;
  }
  RECT frame, client;
  GetWindowRect(main, &frame);
  GetClientRect(main, &client);
  POINT origin = {0, 0};
  ClientToScreen(main, &origin);
  std::printf("window %s %ld %ld %ld %ld\n", IsWindowVisible(main) ? "visible" : "hidden", frame.left, frame.top,
              frame.right - frame.left, frame.bottom - frame.top);
  std::printf("client %ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
  std::printf("screen %d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  std::printf("caption %s\n", Text(main).c_str());
  LONG style = GetWindowLongA(main, GWL_STYLE);
  std::printf("style maximizebox=%d minimizebox=%d sysmenu=%d thickframe=%d\n", (style & WS_MAXIMIZEBOX) ? 1 : 0,
              (style & WS_MINIMIZEBOX) ? 1 : 0, (style & WS_SYSMENU) ? 1 : 0, (style & WS_THICKFRAME) ? 1 : 0);
  std::printf("icon %s\n", SendMessageA(main, WM_GETICON, ICON_SMALL, 0) != 0 || GetClassLongPtrA(main, GCLP_HICON) != 0 ? "set" : "none");
  HWND owner = GetWindow(main, GW_OWNER);
  std::printf("appwindow %s exstyle=0x%lx title=%s\n", owner != nullptr && IsWindowVisible(owner) ? "visible" : "hidden",
              owner != nullptr ? static_cast<unsigned long>(GetWindowLongA(owner, GWL_EXSTYLE)) : 0UL,
              owner != nullptr ? Text(owner).c_str() : "");
  HWND list = GetDlgItem(main, 106);
  std::printf("items %ld\n", static_cast<long>(SendMessageA(list, 0x1004 /* LVM_GETITEMCOUNT */, 0, 0)));
  EnumChildWindows(main, PrintControl, reinterpret_cast<LPARAM>(main));
  return 0;
}

int Tabs() {
  HWND main = MainWindow();
  if (main == nullptr) return 1;
  HWND first = GetNextDlgTabItem(main, nullptr, FALSE);
  HWND at = first;
  for (int i = 0; at != nullptr && i < 32; ++i) {
    std::printf("%d\n", GetDlgCtrlID(at));
    at = GetNextDlgTabItem(main, at, FALSE);
    if (at == first) break;
  }
  return 0;
}

// Icon handles are not comparable across processes under Wine, so the box's
// icon is compared as a picture: the screen under its static against each
// standard icon drawn on the same background.
std::vector<COLORREF> Pixels(HDC dc, int size) {
  std::vector<COLORREF> pixels;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) pixels.push_back(GetPixel(dc, x, y));
  return pixels;
}

const char* IconName(HWND box) {
  HWND picture = GetDlgItem(box, 0x14) != nullptr ? GetDlgItem(box, 0x14) : GetDlgItem(box, 0x440);
  if (picture == nullptr || !IsWindowVisible(picture)) return "none";
  const int size = GetSystemMetrics(SM_CXICON);
  RECT r;
  GetWindowRect(picture, &r);
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
  HGDIOBJ old = SelectObject(mem, bitmap);
  BitBlt(mem, 0, 0, size, size, screen, r.left, r.top, SRCCOPY);
  std::vector<COLORREF> shown = Pixels(mem, size);
  const struct { LPCSTR id; const char* name; } candidates[] = {
      {IDI_HAND, "stop"}, {IDI_QUESTION, "question"}, {IDI_ASTERISK, "information"}, {IDI_EXCLAMATION, "warning"}};
  const char* best = "other";
  std::size_t bestDiff = shown.size() / 20;  // at most 5% of the pixels may differ
  for (const auto& c : candidates) {
    HBRUSH background = CreateSolidBrush(shown.front());
    RECT all = {0, 0, size, size};
    FillRect(mem, &all, background);
    DeleteObject(background);
    DrawIconEx(mem, 0, 0, LoadIcon(nullptr, c.id), size, size, 0, nullptr, DI_NORMAL);
    std::vector<COLORREF> drawn = Pixels(mem, size);
    std::size_t diff = 0;
    for (std::size_t i = 0; i < drawn.size(); ++i) diff += drawn[i] != shown[i];
    if (diff <= bestDiff) {
      bestDiff = diff;
      best = c.name;
    }
  }
  SelectObject(mem, old);
  DeleteObject(bitmap);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return best;
}

BOOL CALLBACK PrintBox(HWND hwnd, LPARAM) {
  if (ClassOf(hwnd) != "#32770" || !IsWindowVisible(hwnd)) return TRUE;
  HWND text = GetDlgItem(hwnd, 0xFFFF);
  HWND owner = GetWindow(hwnd, GW_OWNER);
  std::printf("box %s|%s|yes=%d|no=%d|ok=%d|icon=%s|owner=%s\n", Text(hwnd).c_str(), Text(text).c_str(),
              GetDlgItem(hwnd, IDYES) ? 1 : 0, GetDlgItem(hwnd, IDNO) ? 1 : 0, GetDlgItem(hwnd, IDOK) ? 1 : 0,
              IconName(hwnd), owner == MainWindow() ? "main" : "other");
  return TRUE;
}

// The notification area's balloons are tooltip windows of the shell.
BOOL CALLBACK PrintBalloon(HWND hwnd, LPARAM) {
  if (ClassOf(hwnd) == "tooltips_class32" && IsWindowVisible(hwnd)) std::printf("balloon %s\n", Text(hwnd).c_str());
  return TRUE;
}

BOOL CALLBACK PrintDialog(HWND hwnd, LPARAM) {
  if (ClassOf(hwnd) != "#32770" || !IsWindowVisible(hwnd)) return TRUE;
  RECT r;
  GetWindowRect(hwnd, &r);
  HWND edit = FindWindowExA(hwnd, nullptr, "Edit", nullptr);
  std::printf("dialog %ld %ld %ld %ld %s|%s\n", r.left, r.top, r.right - r.left, r.bottom - r.top, Text(hwnd).c_str(),
              edit != nullptr ? Text(edit).c_str() : "");
  if (HWND tree = FindWindowExA(hwnd, nullptr, "SysTreeView32", nullptr)) {
    GetWindowRect(tree, &r);
    std::printf("tree %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
  return FALSE;
}

// The PHP set-up's progress window: its two texts, and where its Cancel
// button is on the screen.
int Progress() {
  HWND window = FindWindowA("TPhpProgress", nullptr);
  if (window == nullptr || !IsWindowVisible(window)) {
    std::printf("progress none\n");
    return 0;
  }
  HWND cancel = GetDlgItem(window, IDCANCEL);
  RECT r = {};
  GetWindowRect(cancel, &r);
  std::printf("progress %s|%s|cancel %ld %ld %ld %ld enabled=%d\n", Text(GetDlgItem(window, 200)).c_str(),
              Text(GetDlgItem(window, 202)).c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top,
              IsWindowEnabled(cancel) ? 1 : 0);
  return 0;
}

// The first box shown, or the first whose text holds Says.
struct TAnswer {
  int Id;
  std::string Says;
};

BOOL CALLBACK AnswerBox(HWND hwnd, LPARAM answer) {
  const TAnswer& a = *reinterpret_cast<const TAnswer*>(answer);
  if (ClassOf(hwnd) != "#32770" || !IsWindowVisible(hwnd)) return TRUE;
  if (!a.Says.empty() && Text(GetDlgItem(hwnd, 0xFFFF)).find(a.Says) == std::string::npos) return TRUE;
  PostMessageA(hwnd, WM_COMMAND, static_cast<WPARAM>(a.Id), 0);
  return FALSE;
}

// Starts a program as the service manager does, with show-window 0, waits
// for it (at most 60 s) and prints its exit code.
int SpawnHidden(const std::string& program, const std::string& argument) {
  std::string commandLine = "\"" + program + "\" " + argument;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 1;
  DWORD code = 259;
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::printf("exit %lu\n", static_cast<unsigned long>(code));
  return 0;
}

// How many processes run the named program file.
int CountProcesses(const std::string& name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 1;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    count += lstrcmpiA(entry.szExeFile, name.c_str()) == 0;
  CloseHandle(snapshot);
  std::printf("%d\n", count);
  return 0;
}

// Takes the program's tray icon away, as a restarted shell would have lost it.
int RemoveTrayIcon() {
  NOTIFYICONDATAA data = {};
  data.cbSize = sizeof data;
  data.hWnd = MainWindow();
  data.uID = 1;
  return data.hWnd != nullptr && Shell_NotifyIconA(NIM_DELETE, &data) ? 0 : 1;
}

// The taskbar that holds the notification area: "trayarea none" before it
// exists (a program that adds its icon then has none), "trayarea hidden"
// while it holds nothing, "trayarea visible x y w h" once shown.
int TrayArea() {
  HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
  RECT r = {};
  if (tray == nullptr || !IsWindowVisible(tray) || !GetWindowRect(tray, &r)) {
    std::printf("trayarea %s\n", tray == nullptr ? "none" : "hidden");
    return 0;
  }
  std::printf("trayarea visible %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  return 0;
}

// The version resource of a program file, as Explorer's properties show it.
int PrintVersion(const char* file) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(file, &ignored);
  std::vector<char> data(size);
  if (size == 0 || !GetFileVersionInfoA(file, 0, size, data.data())) return 1;
  auto value = [&](const char* name) {
    char* text = nullptr;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\040904E4\\") + name;
    return VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) && length > 0
               ? std::string(text)
               : std::string();
  };
  std::printf("version %s|%s|%s\n", value("ProductName").c_str(), value("FileVersion").c_str(),
              value("ProductVersion").c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "state") return State();
  if (command == "trayarea") return TrayArea();
  if (command == "tabs") return Tabs();
  if (command == "boxes") return EnumWindows(PrintBox, 0), 0;
  if (command == "balloons") return EnumWindows(PrintBalloon, 0), 0;
  if (command == "version" && argc > 2) return PrintVersion(argv[2]);
  if (command == "dialog") return EnumWindows(PrintDialog, 0), 0;
  if (command == "progress") return Progress();
  if (command == "answer" && argc > 2) {
    TAnswer answer{std::atoi(argv[2]), argc > 3 ? argv[3] : ""};
    return EnumWindows(AnswerBox, reinterpret_cast<LPARAM>(&answer)), 0;
  }
  if (command == "processes" && argc > 2) return CountProcesses(argv[2]);
  if (command == "untray") return RemoveTrayIcon();
  if (command == "broadcast" && argc > 2)
    return PostMessageA(HWND_BROADCAST, RegisterWindowMessageA(argv[2]), 0, 0) ? 0 : 1;
  if (command == "closeself") {
    UINT message = RegisterWindowMessageA("OSTREL_KELV_CLOSESELF");
    return PostMessageA(HWND_BROADCAST, message, 0, 0) ? 0 : 1;
  }
  if (command == "minimize" || command == "close") {
    HWND main = MainWindow();
    if (main == nullptr) return 1;
    if (command == "close") return PostMessageA(main, WM_CLOSE, 0, 0) ? 0 : 1;
    return PostMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0) ? 0 : 1;
  }
  // The application window, closed as "End task" does (WM_CLOSE) or, with
  // "sys", as the taskbar button's Close does (SC_CLOSE).
  if (command == "appclose") {
    HWND owner = MainWindow() != nullptr ? GetWindow(MainWindow(), GW_OWNER) : nullptr;
    if (owner == nullptr) return 1;
    bool sys = argc > 2 && std::string(argv[2]) == "sys";
    return PostMessageA(owner, sys ? WM_SYSCOMMAND : WM_CLOSE, sys ? SC_CLOSE : 0, 0) ? 0 : 1;
  }
  if (command == "spawn-hidden" && argc > 2) return SpawnHidden(argv[2], argc > 3 ? argv[3] : "");
  if (command == "tray" && argc > 2) {
    HWND main = MainWindow();
    return main != nullptr && PostMessageA(main, WM_USER + 1, 1, std::atoi(argv[2])) ? 0 : 1;
  }
  // What the system's address notification posts, which Wine never sends.
  if (command == "addresses-changed") {
    HWND main = MainWindow();
    return main != nullptr && PostMessageA(main, WM_APP + 2, 0, 0) ? 0 : 1;
  }
  std::fprintf(stderr, "usage: ostrel_probe state|trayarea|tabs|boxes|balloons|dialog|progress|closeself|tray <event>|answer <id> [text]|minimize|close|appclose [sys]|spawn-hidden <program> [argument]|processes <file>|untray|broadcast <message>|version <file>|addresses-changed\n");
  return 2;
}
