// runtime_check_win32.cpp - the check after the set-up, without the loader's
// error box.
#include <windows.h>

#include "getphp/runtime_check.h"
#include "http/interpreter_path.h"

namespace {
constexpr std::uint32_t kDllNotFound = 0xC0000135;
constexpr std::uint32_t kEntryPointNotFound = 0xC0000139;
}  // namespace

TInterpreterCheck CheckSetUpInterpreter(const std::string& appDir) {
  // The child inherits the error mode: its loader then ends it at once
  // instead of waiting on a box that nobody at an installer would expect.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
  SetErrorMode(previous | SEM_FAILCRITICALERRORS);
  TInterpreterCheck check = CheckInterpreter(FindInterpreter(appDir));
  SetErrorMode(previous);
  return check;
}

bool RuntimeMissing(const TInterpreterCheck& check) {
  return check.Kind != TInterpreterKind::Cgi &&
         (check.ExitCode == kDllNotFound || check.ExitCode == kEntryPointNotFound);
}
