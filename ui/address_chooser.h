// address_chooser.h - TAddressChooser: the machine's addresses behind the
// window's address box. The box shows the one given out; the button beside it
// offers every address with its adapter, and the user's pick is kept in
// Setup.ini (the program gives it out while the machine has it). Main thread only.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "config/site_access.h"
#include "net/address_choice.h"

class TAddressChooser {
 public:
  TAddressChooser() = default;
  ~TAddressChooser();
  TAddressChooser(const TAddressChooser&) = delete;
  TAddressChooser& operator=(const TAddressChooser&) = delete;

  // Takes own, the machine's addresses (the program's own choice first; never
  // empty), the pick first; returns the URL to give out
  // ("http://<address>:<port>", with the code in code mode).
  std::string Refresh(int port, const TSiteAccess& access, std::vector<TLocalAddress> own);
  // Whether the last Refresh found other addresses than the one before it.
  bool Changed() const { return FChanged; }
  // From now on message is posted to window whenever an IPv4 address of the
  // machine comes or goes (the system's thread posts it), until destruction.
  void Watch(HWND window, UINT message);
  // Posts the message; the notification's callback calls it, on the system's thread.
  void PostChange() const { PostMessageA(FWatchWindow, FWatchMessage, 0, 0); }
  // Pops the addresses up below button, the one given out checked; true when
  // the user picked another one (then written to Setup.ini, and first here).
  bool Choose(HWND owner, HWND button);
  // The URL of an address: "http://ip:port", its adapter after a tab.
  static std::string MenuText(const TLocalAddress& address, int port);

 private:
  std::vector<TLocalAddress> FAddresses;  // the one given out first
  std::string FAutomatic;                 // the program's own choice
  int FPort = 0;
  bool FChanged = false;
  // The address notification's registration, and what its callback posts.
  HANDLE FWatch = nullptr;
  HWND FWatchWindow = nullptr;
  UINT FWatchMessage = 0;
};
