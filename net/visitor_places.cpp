// visitor_places.cpp - TVisitorPlaces: the count per address and in all, under one lock.
#include "net/visitor_places.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <unordered_map>

struct TVisitorPlace::TState {
  std::mutex Lock;
  std::condition_variable Freed;
  // Guarded by Lock. An address that waits for a place in all counts here
  // already, so that one visitor cannot fill the queue either.
  std::unordered_map<std::uint32_t, int> ByAddress;
  int InAll = 0;
  int PerVisitor = 0;
  int Total = 0;
};

TVisitorPlace& TVisitorPlace::operator=(TVisitorPlace&& other) noexcept {
  if (this != &other) {
    GiveBack();
    FState = std::move(other.FState);
    FAddress = other.FAddress;
  }
  return *this;
}

TVisitorPlace::~TVisitorPlace() { GiveBack(); }

void TVisitorPlace::GiveBack() {
  if (!FState) return;
  {
    std::lock_guard<std::mutex> lock(FState->Lock);
    auto held = FState->ByAddress.find(FAddress);
    if (held != FState->ByAddress.end() && --held->second <= 0) FState->ByAddress.erase(held);
    --FState->InAll;
  }
  FState->Freed.notify_one();
  FState.reset();
}

TVisitorPlaces::TVisitorPlaces() : FState(std::make_shared<TVisitorPlace::TState>()) {}

void TVisitorPlaces::SetLimits(int perVisitor, int total) {
  std::lock_guard<std::mutex> lock(FState->Lock);
  FState->PerVisitor = perVisitor;
  FState->Total = total;
}

TVisitorPlace TVisitorPlaces::Take(std::uint32_t address, int waitMs, const std::function<bool()>& keepWaiting,
                                   int sliceMs) {
  TVisitorPlace::TState& s = *FState;
  std::unique_lock<std::mutex> lock(s.Lock);
  int& held = s.ByAddress[address];
  if (s.PerVisitor > 0 && held >= s.PerVisitor) return {};
  ++held;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (s.Total > 0 && s.InAll >= s.Total) {
    const auto now = std::chrono::steady_clock::now();
    bool wanted = now < deadline;
    if (wanted && keepWaiting) {
      lock.unlock();
      wanted = keepWaiting();
      lock.lock();
    }
    if (!wanted) {
      if (--s.ByAddress[address] <= 0) s.ByAddress.erase(address);
      return {};
    }
    s.Freed.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(sliceMs)));
  }
  ++s.InAll;
  return TVisitorPlace(FState, address);
}

int TVisitorPlaces::HeldBy(std::uint32_t address) const {
  std::lock_guard<std::mutex> lock(FState->Lock);
  auto held = FState->ByAddress.find(address);
  return held == FState->ByAddress.end() ? 0 : held->second;
}

int TVisitorPlaces::Held() const {
  std::lock_guard<std::mutex> lock(FState->Lock);
  return FState->InAll;
}
