// firewall_win32.cpp - enters the program in the Windows Firewall's authorized
// applications, and reads what the firewall makes of it, through the
// firewall's automation objects by late binding.
#include <windows.h>

#include <string>
#include <vector>

#include "sys/firewall.h"
#include "sys/late_binding_win32.h"

using namespace latebind;

namespace {

void PutText(IDispatch& object, const wchar_t* member, const std::string& value) {
  TVariant arg;
  V_VT(arg.get()) = VT_BSTR;
  V_BSTR(arg.get()) = SysAllocString(Widen(value).c_str());
  Invoke(object, member, DISPATCH_PROPERTYPUT, arg.get(), nullptr);
}

void PutInteger(IDispatch& object, const wchar_t* member, long value) {
  TVariant arg;
  V_VT(arg.get()) = VT_I4;
  V_I4(arg.get()) = value;
  Invoke(object, member, DISPATCH_PROPERTYPUT, arg.get(), nullptr);
}

void PutBoolean(IDispatch& object, const wchar_t* member, bool value) {
  TVariant arg;
  V_VT(arg.get()) = VT_BOOL;
  V_BOOL(arg.get()) = value ? VARIANT_TRUE : VARIANT_FALSE;
  Invoke(object, member, DISPATCH_PROPERTYPUT, arg.get(), nullptr);
}

// One profile's setting of the policy: a property that takes the profile type.
bool ProfileSetting(IDispatch& policy, const wchar_t* member, long type) {
  TVariant arg;
  V_VT(arg.get()) = VT_I4;
  V_I4(arg.get()) = type;
  return GetBool(policy, member, arg.get());
}

// The rules name the program by its full path, in any letter case, some
// through environment variables ("%LOCALAPPDATA%\...").
bool SamePath(const std::wstring& rule, const std::wstring& program) {
  std::wstring expanded(ExpandEnvironmentStringsW(rule.c_str(), nullptr, 0), L'\0');
  const DWORD n = ExpandEnvironmentStringsW(rule.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
  expanded.resize(n > 0 && n <= expanded.size() ? n - 1 : 0);
  return CompareStringOrdinal(expanded.c_str(), static_cast<int>(expanded.size()), program.c_str(),
                              static_cast<int>(program.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

// Adds the entry on every call without looking for an existing one; every object
// made here is released (in reverse order) also when a step fails.
void AddFirewallException(const std::string& name, const std::string& imagePath) {
  constexpr long kScopeAll = 0;       // NET_FW_SCOPE_ALL
  constexpr long kIpVersionAny = 2;   // NET_FW_IP_VERSION_ANY
  DispatchPtr manager = CreateObject(L"HNetCfg.FwMgr");
  DispatchPtr policy = GetDispatch(*manager, L"LocalPolicy");
  DispatchPtr profile = GetDispatch(*policy, L"CurrentProfile");
  DispatchPtr application = CreateObject(L"HNetCfg.FwAuthorizedApplication");
  PutText(*application, L"ProcessImageFileName", imagePath);
  PutText(*application, L"Name", name);
  PutInteger(*application, L"Scope", kScopeAll);
  PutInteger(*application, L"IpVersion", kIpVersionAny);
  PutBoolean(*application, L"Enabled", true);
  DispatchPtr applications = GetDispatch(*profile, L"AuthorizedApplications");
  TVariant arg;
  V_VT(arg.get()) = VT_DISPATCH;
  V_DISPATCH(arg.get()) = application.get();
  application->AddRef();  // the VARIANT's own reference, dropped by VariantClear
  Invoke(*applications, L"Add", DISPATCH_METHOD, arg.get(), nullptr);
}

// The rules as the firewall applies them today (its second automation model,
// which also shows the block rules that Windows makes when its first-run
// question is dismissed), for the profiles of the networks the machine is on.
TFirewallState ReadFirewallState(const std::string& imagePath) {
  constexpr long kInbound = 1, kAllow = 1;  // NET_FW_RULE_DIR_IN, NET_FW_ACTION_ALLOW
  try {
    DispatchPtr policy = CreateObject(L"HNetCfg.FwPolicy2");
    const long types = GetLong(*policy, L"CurrentProfileTypes");
    std::vector<TFirewallProfile> current;
    for (long type : {1L, 2L, 4L}) {
      if ((types & type) == 0) continue;
      current.push_back({type, ProfileSetting(*policy, L"FirewallEnabled", type),
                         ProfileSetting(*policy, L"BlockAllInboundTraffic", type)});
    }
    const std::wstring program = Widen(imagePath);
    std::vector<TFirewallRule> rules;
    DispatchPtr all = GetDispatch(*policy, L"Rules");
    ForEach(*all, [&](IDispatch& rule) {
      if (GetLong(rule, L"Direction") != kInbound || !SamePath(GetText(rule, L"ApplicationName"), program)) return;
      rules.push_back({GetBool(rule, L"Enabled"), GetLong(rule, L"Action") == kAllow, GetLong(rule, L"Profiles"),
                       GetLong(rule, L"Protocol")});
    });
    return FirewallVerdict(current, rules);
  } catch (...) {
    return TFirewallState::Unknown;
  }
}
