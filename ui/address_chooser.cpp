// address_chooser.cpp - TAddressChooser: the addresses' menu and the pick.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include "ui/address_chooser.h"

#include "base/native_fs.h"
#include "config/host_network.h"
#include "config/kelv.h"
#include "ui/win_handles.h"

namespace {

std::string UrlOf(const std::string& ip, int port) { return "http://" + ip + ":" + std::to_string(port); }

void WINAPI AddressChanged(void* chooser, MIB_UNICASTIPADDRESS_ROW*, MIB_NOTIFICATION_TYPE) {
  static_cast<const TAddressChooser*>(chooser)->PostChange();
}

}  // namespace

// The registration ends before the chooser goes: the system waits for a
// callback that is running.
TAddressChooser::~TAddressChooser() {
  if (FWatch != nullptr) CancelMibChangeNotify2(FWatch);
}

// Wine takes the registration and never calls back: there the address
// follows a change at the next Start.
void TAddressChooser::Watch(HWND window, UINT message) {
  if (FWatch != nullptr) return;
  FWatchWindow = window;
  FWatchMessage = message;
  if (NotifyUnicastIpAddressChange(AF_INET, AddressChanged, this, FALSE, &FWatch) != NO_ERROR) FWatch = nullptr;
}

std::string TAddressChooser::Refresh(int port, const TSiteAccess& access, std::vector<TLocalAddress> own) {
  FPort = port;
  FAutomatic = own.front().IP;
  std::vector<TLocalAddress> addresses = OfferedAddresses(std::move(own));
  FChanged = addresses != FAddresses;
  FAddresses = std::move(addresses);
  return AddressToHandOut(UrlOf(FAddresses.front().IP, port), access);
}

// "&" would underline the next letter of a menu item.
std::string TAddressChooser::MenuText(const TLocalAddress& address, int port) {
  // The adapters' names come in UTF-8; the window's text is in the ANSI code page.
  const std::string adapter = native_fs::Utf8ToAnsi(address.Adapter);
  std::string escaped;
  for (char c : adapter) escaped += c == '&' ? std::string("&&") : std::string(1, c);
  std::string text = UrlOf(address.IP, port) + "\t";
  if (!escaped.empty()) text += escaped + " (" + KindText(address.Kind) + ")";
  return text;
}

bool TAddressChooser::Choose(HWND owner, HWND button) {
  if (FAddresses.empty()) return false;
  ui::UniqueMenu menu(CreatePopupMenu());
  for (std::size_t i = 0; i < FAddresses.size(); ++i)
    AppendMenuA(menu.get(), MF_STRING | (i == 0 ? MF_CHECKED : 0), static_cast<UINT_PTR>(i + 1),
                MenuText(FAddresses[i], FPort).c_str());
  RECT r;
  GetWindowRect(button, &r);
  const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu.get(), TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_RETURNCMD |
                                                                       TPM_NONOTIFY,
                                                       r.right, r.bottom, 0, owner, nullptr));
  PostMessageA(owner, WM_NULL, 0, 0);
  if (chosen <= 1 || chosen > FAddresses.size()) return false;
  const std::string ip = FAddresses[chosen - 1].IP;
  // The program's own choice is no pick: it follows the network again.
  TKelv::SetAddressPick(ip == FAutomatic ? "" : ip);
  FAddresses = WithFirst(FAddresses, ip);
  return true;
}
