// scoped_handle_win32.h - TScopedHandle: the one owner of a Win32 kernel handle.
#pragma once
#include <windows.h>

#include <utility>

class TScopedHandle {
 public:
  TScopedHandle() = default;
  // INVALID_HANDLE_VALUE (a failed CreateFile) is held as no handle.
  explicit TScopedHandle(HANDLE handle) : FHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~TScopedHandle() { Close(); }
  TScopedHandle(TScopedHandle&& other) noexcept : FHandle(std::exchange(other.FHandle, nullptr)) {}
  TScopedHandle& operator=(TScopedHandle&& other) noexcept {
    if (this != &other) {
      Close();
      FHandle = std::exchange(other.FHandle, nullptr);
    }
    return *this;
  }

  HANDLE Get() const { return FHandle; }
  bool Valid() const { return FHandle != nullptr; }
  // For calls that hand out a handle through a pointer (CreatePipe).
  HANDLE* Receive() {
    Close();
    return &FHandle;
  }
  void Close() {
    if (FHandle != nullptr) CloseHandle(FHandle);
    FHandle = nullptr;
  }

 private:
  HANDLE FHandle = nullptr;
};
