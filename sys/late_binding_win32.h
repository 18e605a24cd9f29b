// late_binding_win32.h - automation objects reached by name at run time
// (IDispatch): the firewall's and the network list's. Every object and
// VARIANT is owned, so a failing step frees what the steps before it made.
// The calling thread must have initialised COM.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <memory>
#include <string>

namespace latebind {

struct ReleaseDispatch {
  void operator()(IDispatch* p) const { p->Release(); }
};
using DispatchPtr = std::unique_ptr<IDispatch, ReleaseDispatch>;

// Owns a VARIANT so that a BSTR or interface inside it is freed on every path.
class TVariant {
 public:
  TVariant() { VariantInit(&FValue); }
  ~TVariant() { VariantClear(&FValue); }
  TVariant(const TVariant&) = delete;
  TVariant& operator=(const TVariant&) = delete;
  VARIANT* get() { return &FValue; }

 private:
  VARIANT FValue;
};

// Every failure raises std::runtime_error: "<step> failed (0x<HRESULT>)".
[[noreturn]] void Fail(const char* what, HRESULT hr);

std::wstring Widen(const std::string& s);  // from the ANSI code page

DispatchPtr CreateObject(const wchar_t* progIdOrClsid);  // "{...}" for a class without a ProgID

// Invokes a member by name with at most one argument (arg may be null).
void Invoke(IDispatch& object, const wchar_t* member, WORD kind, VARIANT* arg, VARIANT* result);

DispatchPtr GetDispatch(IDispatch& object, const wchar_t* member, WORD kind = DISPATCH_PROPERTYGET,
                      VARIANT* arg = nullptr);
long GetLong(IDispatch& object, const wchar_t* member, WORD kind = DISPATCH_PROPERTYGET, VARIANT* arg = nullptr);
bool GetBool(IDispatch& object, const wchar_t* member, VARIANT* arg = nullptr);
std::wstring GetText(IDispatch& object, const wchar_t* member, WORD kind = DISPATCH_PROPERTYGET);

// Calls each with every object of a collection, through its _NewEnum.
void ForEach(IDispatch& collection, const std::function<void(IDispatch&)>& each);

}  // namespace latebind
