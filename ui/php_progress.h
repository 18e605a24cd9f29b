// php_progress.h - TPhpProgress: the small window that shows how the PHP
// set-up goes (the step, the download's bar and bytes) with a Cancel button.
// It reads the job on a timer; the job's thread never touches it. Main thread
// only.
#pragma once
#include <windows.h>

#include <string>

#include "ui/win_handles.h"

class TSetupJob;

class TPhpProgress {
 public:
  // Shown at once, centred over owner, which the caller disables meanwhile.
  TPhpProgress(HWND owner, HINSTANCE instance, const std::string& caption, HFONT font, TSetupJob& job);
  TPhpProgress(const TPhpProgress&) = delete;
  TPhpProgress& operator=(const TPhpProgress&) = delete;

  HWND Handle() const { return FHandle.get(); }
  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  static constexpr int idText = 200, idBar = 201, idBytes = 202;

 private:
  void Refresh();
  void Cancel();

  TSetupJob& FJob;
  ui::UniqueWindow FHandle;
  HWND FText = nullptr, FBar = nullptr, FBytes = nullptr, FCancel = nullptr;
  std::string FShownLine, FShownBytes;
};
