// deadline.h - TDeadline: a point in time that waits are cut to, or none.
#pragma once
#include <algorithm>
#include <chrono>

class TDeadline {
 public:
  using Clock = std::chrono::steady_clock;

  static TDeadline None() { return TDeadline(); }
  static TDeadline At(Clock::time_point at) { return TDeadline(at); }
  // limitMs < 0: no deadline.
  static TDeadline In(int limitMs) {
    return limitMs < 0 ? None() : At(Clock::now() + std::chrono::milliseconds(limitMs));
  }

  bool Limited() const { return FLimited; }
  bool Passed() const { return FLimited && Clock::now() >= FAt; }

  // A wait of waitMs (< 0: for good), cut to the whole milliseconds left.
  int Clip(int waitMs) const {
    if (!FLimited) return waitMs;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(FAt - Clock::now()).count();
    const int leftMs = static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
    return waitMs < 0 ? leftMs : std::min(waitMs, leftMs);
  }

 private:
  TDeadline() = default;
  explicit TDeadline(Clock::time_point at) : FLimited(true), FAt(at) {}

  bool FLimited = false;
  Clock::time_point FAt{};
};
