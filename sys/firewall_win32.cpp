// firewall_win32.cpp - enters the program in the Windows Firewall's authorized
// applications through the firewall's automation objects, by late binding.
#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "sys/firewall.h"

namespace {

struct ReleaseDispatch {
  void operator()(IDispatch* p) const { p->Release(); }
};
using DispatchPtr = std::unique_ptr<IDispatch, ReleaseDispatch>;

// Owns a VARIANT so that a BSTR or interface inside it is freed on every path.
class Variant {
 public:
  Variant() { VariantInit(&FValue); }
  ~Variant() { VariantClear(&FValue); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &FValue; }

 private:
  VARIANT FValue;
};

[[noreturn]] void Fail(const char* what, HRESULT hr) {
  char code[16];
  wsprintfA(code, "%08lX", static_cast<unsigned long>(hr));
  throw std::runtime_error(std::string(what) + " failed (0x" + code + ")");
}

std::wstring Widen(const std::string& s) {
  if (s.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

DispatchPtr CreateObject(const wchar_t* progId) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(progId, &clsid);
  if (FAILED(hr)) Fail("CLSIDFromProgID", hr);
  IDispatch* object = nullptr;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                        reinterpret_cast<void**>(&object));
  if (FAILED(hr) || object == nullptr) Fail("CoCreateInstance", hr);
  return DispatchPtr(object);
}

DISPID MemberId(IDispatch& object, const wchar_t* member) {
  LPOLESTR name = const_cast<LPOLESTR>(member);
  DISPID id = 0;
  HRESULT hr = object.GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) Fail("GetIDsOfNames", hr);
  return id;
}

// Invokes a member by name; args are passed as given (a single argument here).
void Invoke(IDispatch& object, const wchar_t* member, WORD kind, VARIANT* arg, VARIANT* result) {
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params = {};
  if (arg != nullptr) {
    params.rgvarg = arg;
    params.cArgs = 1;
  }
  if (kind == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  HRESULT hr = object.Invoke(MemberId(object, member), IID_NULL, LOCALE_USER_DEFAULT, kind, &params,
                             result, nullptr, nullptr);
  if (FAILED(hr)) Fail("IDispatch::Invoke", hr);
}

DispatchPtr GetObjectProperty(IDispatch& object, const wchar_t* member) {
  Variant result;
  Invoke(object, member, DISPATCH_PROPERTYGET, nullptr, result.get());
  if (V_VT(result.get()) != VT_DISPATCH || V_DISPATCH(result.get()) == nullptr)
    throw std::runtime_error("the firewall returned no object");
  IDispatch* value = V_DISPATCH(result.get());
  value->AddRef();
  return DispatchPtr(value);
}

void PutText(IDispatch& object, const wchar_t* member, const std::string& value) {
  Variant arg;
  V_VT(arg.get()) = VT_BSTR;
  V_BSTR(arg.get()) = SysAllocString(Widen(value).c_str());
  Invoke(object, member, DISPATCH_PROPERTYPUT, arg.get(), nullptr);
}

void PutInteger(IDispatch& object, const wchar_t* member, long value) {
  Variant arg;
  V_VT(arg.get()) = VT_I4;
  V_I4(arg.get()) = value;
  Invoke(object, member, DISPATCH_PROPERTYPUT, arg.get(), nullptr);
}

void PutBoolean(IDispatch& object, const wchar_t* member, bool value) {
  Variant arg;
  V_VT(arg.get()) = VT_BOOL;
  V_BOOL(arg.get()) = value ? VARIANT_TRUE : VARIANT_FALSE;
  Invoke(object, member, DISPATCH_PROPERTYPUT, arg.get(), nullptr);
}

}  // namespace

// Adds the entry on every call without looking for an existing one; every object
// made here is released (in reverse order) also when a step fails.
void AddFirewallException(const std::string& name, const std::string& imagePath) {
  constexpr long kScopeAll = 0;       // NET_FW_SCOPE_ALL
  constexpr long kIpVersionAny = 2;   // NET_FW_IP_VERSION_ANY
  DispatchPtr manager = CreateObject(L"HNetCfg.FwMgr");
  DispatchPtr policy = GetObjectProperty(*manager, L"LocalPolicy");
  DispatchPtr profile = GetObjectProperty(*policy, L"CurrentProfile");
  DispatchPtr application = CreateObject(L"HNetCfg.FwAuthorizedApplication");
  PutText(*application, L"ProcessImageFileName", imagePath);
  PutText(*application, L"Name", name);
  PutInteger(*application, L"Scope", kScopeAll);
  PutInteger(*application, L"IpVersion", kIpVersionAny);
  PutBoolean(*application, L"Enabled", true);
  DispatchPtr applications = GetObjectProperty(*profile, L"AuthorizedApplications");
  Variant arg;
  V_VT(arg.get()) = VT_DISPATCH;
  V_DISPATCH(arg.get()) = application.get();
  application->AddRef();  // the Variant's own reference, dropped by VariantClear
  Invoke(*applications, L"Add", DISPATCH_METHOD, arg.get(), nullptr);
}
