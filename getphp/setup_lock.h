// setup_lock.h - one set-up of PHP at a time on this computer: the window's
// offer and -GETPHP would otherwise unpack into the same folder.
#pragma once

class TSetupLock {
 public:
  TSetupLock();
  ~TSetupLock();
  TSetupLock(const TSetupLock&) = delete;
  TSetupLock& operator=(const TSetupLock&) = delete;
  // False when another set-up holds it (or it could not be made).
  bool Held() const { return FHeld; }

 private:
  void* FHandle = nullptr;
  bool FHeld = false;
};
