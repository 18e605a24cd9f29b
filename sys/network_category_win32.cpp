// network_category_win32.cpp - the connected networks' categories from the
// Network List Manager, by late binding.
#include <windows.h>

#include "base/system_text_win32.h"
#include "sys/late_binding_win32.h"
#include "sys/network_category.h"

using namespace latebind;

namespace {

constexpr wchar_t kNetworkListManager[] = L"{DCB00C01-570F-4A9B-8D69-199FDBA5723B}";  // CLSID_NetworkListManager
constexpr long kConnectedNetworks = 1;                                                // NLM_ENUM_NETWORK_CONNECTED

// NLM_NETWORK_CATEGORY; any other value is not guessed at.
const char* CategoryName(long category) {
  switch (category) {
    case 0: return "public";
    case 1: return "private";
    case 2: return "domain";
    default: return nullptr;
  }
}

}  // namespace

TNetworkCategories ReadNetworkCategories() {
  TNetworkCategories result;
  result.Applies = true;
  try {
    DispatchPtr manager = CreateObject(kNetworkListManager);
    TVariant flags;
    V_VT(flags.get()) = VT_I4;
    V_I4(flags.get()) = kConnectedNetworks;
    DispatchPtr networks = GetDispatch(*manager, L"GetNetworks", DISPATCH_METHOD, flags.get());
    std::vector<TConnectedNetwork> found;
    bool allKnown = true;
    ForEach(*networks, [&](IDispatch& network) {
      const char* category = CategoryName(GetLong(network, L"GetCategory", DISPATCH_METHOD));
      if (category == nullptr) allKnown = false;
      else found.push_back({Utf8Of(GetText(network, L"GetName", DISPATCH_METHOD)), category});
    });
    result.Known = allKnown;
    if (allKnown) result.Networks = std::move(found);
  } catch (...) {
    result.Known = false;
  }
  return result;
}
