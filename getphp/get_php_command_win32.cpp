// get_php_command_win32.cpp - -GETPHP: lines on the standard output handle
// that the caller gave (a window program has none of its own), one run at a
// time on this computer.
#include <windows.h>

#include <exception>

#include "base/program_env.h"
#include "getphp/get_php_command.h"
#include "getphp/php_setup.h"

namespace {

void Say(const std::string& line) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\r\n";
  DWORD written = 0;
  WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// Lines for the steps and a line at each quarter of the download: an
// installer shows every line, so not too many.
class TLineReport : public TSetupReport {
 public:
  void Line(const std::string& line) override {
    Say(line);
    FQuarter = 0;
  }
  void Bytes(std::uint64_t done, std::uint64_t total) override {
    if (total == 0) return;
    const int quarter = static_cast<int>(done * 4 / total);
    for (; FQuarter < quarter && FQuarter < 4;) Say("Downloaded " + std::to_string(++FQuarter * 25) + "%");
  }
  bool Cancelled() override { return false; }

 private:
  int FQuarter = 0;
};

int ExitCodeOf(TSetupResult result) {
  switch (result) {
    case TSetupResult::Ready:
      return 0;
    case TSetupResult::RuntimeMissing:
    case TSetupResult::NotUsable:
      return 2;
    default:
      return 1;
  }
}

}  // namespace

int RunGetPhpCommand() {
  try {
    TLineReport report;
    const TReleaseLookup lookup = LookUpRelease(report);
    if (!lookup.Error.empty()) {
      Say(lookup.Error);
      return 1;
    }
    const TSetupOutcome outcome = SetUpRelease(lookup, GetAppDir(), report);
    Say(outcome.Message);
    return ExitCodeOf(outcome.Result);
  } catch (const std::exception& e) {
    Say(std::string("PHP was not set up: ") + e.what());
  } catch (...) {
    Say("PHP was not set up.");
  }
  return 1;
}
