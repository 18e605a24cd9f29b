// late_binding_win32.cpp - IDispatch calls by member name, their results
// taken out of their VARIANTs.
#include "sys/late_binding_win32.h"

#include <stdexcept>

namespace latebind {

void Fail(const char* what, HRESULT hr) {
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

DispatchPtr CreateObject(const wchar_t* progIdOrClsid) {
  CLSID clsid;
  HRESULT hr = progIdOrClsid[0] == L'{' ? CLSIDFromString(progIdOrClsid, &clsid) : CLSIDFromProgID(progIdOrClsid, &clsid);
  if (FAILED(hr)) Fail("CLSIDFromProgID", hr);
  IDispatch* object = nullptr;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                        reinterpret_cast<void**>(&object));
  if (FAILED(hr) || object == nullptr) Fail("CoCreateInstance", hr);
  return DispatchPtr(object);
}

namespace {

DISPID MemberId(IDispatch& object, const wchar_t* member) {
  LPOLESTR name = const_cast<LPOLESTR>(member);
  DISPID id = 0;
  HRESULT hr = object.GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) Fail("GetIDsOfNames", hr);
  return id;
}

void InvokeId(IDispatch& object, DISPID id, WORD kind, VARIANT* arg, VARIANT* result) {
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
  HRESULT hr = object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, nullptr, nullptr);
  if (FAILED(hr)) Fail("IDispatch::Invoke", hr);
}

}  // namespace

void Invoke(IDispatch& object, const wchar_t* member, WORD kind, VARIANT* arg, VARIANT* result) {
  InvokeId(object, MemberId(object, member), kind, arg, result);
}

DispatchPtr GetDispatch(IDispatch& object, const wchar_t* member, WORD kind, VARIANT* arg) {
  TVariant result;
  Invoke(object, member, kind, arg, result.get());
  if (V_VT(result.get()) != VT_DISPATCH || V_DISPATCH(result.get()) == nullptr)
    throw std::runtime_error("the automation object returned no object");
  IDispatch* value = V_DISPATCH(result.get());
  value->AddRef();
  return DispatchPtr(value);
}

long GetLong(IDispatch& object, const wchar_t* member, WORD kind, VARIANT* arg) {
  TVariant result;
  Invoke(object, member, kind, arg, result.get());
  HRESULT hr = VariantChangeType(result.get(), result.get(), 0, VT_I4);
  if (FAILED(hr)) Fail("VariantChangeType", hr);
  return V_I4(result.get());
}

bool GetBool(IDispatch& object, const wchar_t* member, VARIANT* arg) {
  TVariant result;
  Invoke(object, member, DISPATCH_PROPERTYGET, arg, result.get());
  HRESULT hr = VariantChangeType(result.get(), result.get(), 0, VT_BOOL);
  if (FAILED(hr)) Fail("VariantChangeType", hr);
  return V_BOOL(result.get()) != VARIANT_FALSE;
}

std::wstring GetText(IDispatch& object, const wchar_t* member, WORD kind) {
  TVariant result;
  Invoke(object, member, kind, nullptr, result.get());
  if (V_VT(result.get()) == VT_NULL || V_VT(result.get()) == VT_EMPTY) return std::wstring();
  HRESULT hr = VariantChangeType(result.get(), result.get(), 0, VT_BSTR);
  if (FAILED(hr)) Fail("VariantChangeType", hr);
  BSTR text = V_BSTR(result.get());
  return text == nullptr ? std::wstring() : std::wstring(text, SysStringLen(text));
}

void ForEach(IDispatch& collection, const std::function<void(IDispatch&)>& each) {
  TVariant enumerator;
  InvokeId(collection, DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr, enumerator.get());
  IUnknown* unknown = V_VT(enumerator.get()) == VT_UNKNOWN    ? V_UNKNOWN(enumerator.get())
                      : V_VT(enumerator.get()) == VT_DISPATCH ? V_DISPATCH(enumerator.get())
                                                              : nullptr;
  if (unknown == nullptr) throw std::runtime_error("the collection gave no enumerator");
  IEnumVARIANT* items = nullptr;
  HRESULT hr = unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&items));
  if (FAILED(hr) || items == nullptr) Fail("QueryInterface(IEnumVARIANT)", hr);
  std::unique_ptr<IEnumVARIANT, void (*)(IEnumVARIANT*)> owned(items, [](IEnumVARIANT* p) { p->Release(); });
  for (;;) {
    TVariant item;
    ULONG fetched = 0;
    if (owned->Next(1, item.get(), &fetched) != S_OK || fetched == 0) break;
    if (V_VT(item.get()) == VT_DISPATCH && V_DISPATCH(item.get()) != nullptr) each(*V_DISPATCH(item.get()));
  }
}

}  // namespace latebind
