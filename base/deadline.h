// deadline.h - TDeadline: a point in time that waits are cut to, or none.
#pragma once
#include <algorithm>
#include <chrono>

class TDeadline {
 public:
  // limitMs < 0: no deadline.
  explicit TDeadline(int limitMs)
      : FUnlimited(limitMs < 0), FAt(Clock::now() + std::chrono::milliseconds(std::max(limitMs, 0))) {}

  bool Limited() const { return !FUnlimited; }
  bool Passed() const { return !FUnlimited && Clock::now() >= FAt; }

  // A wait of waitMs (< 0: for good), cut to what is left before the deadline.
  int Clip(int waitMs) const {
    if (FUnlimited) return waitMs;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(FAt - Clock::now()).count();
    const int leftMs = static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
    return waitMs < 0 ? leftMs : std::min(waitMs, leftMs);
  }

 private:
  using Clock = std::chrono::steady_clock;
  bool FUnlimited;
  Clock::time_point FAt;
};
