// visitor_places.h - places shared out among visitors' addresses (open
// connections, running interpreters): at most a number held by one address,
// and, where set, at most a number in all, a taker waiting its turn for one.
// One lock and a map of the addresses that hold any; any thread may take and
// give back.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

// A place held; given back when destroyed. Empty when none was given.
class TVisitorPlace {
 public:
  TVisitorPlace() = default;
  TVisitorPlace(TVisitorPlace&&) noexcept = default;
  TVisitorPlace& operator=(TVisitorPlace&& other) noexcept;
  ~TVisitorPlace();
  explicit operator bool() const { return FState != nullptr; }

 private:
  friend class TVisitorPlaces;
  struct TState;
  TVisitorPlace(std::shared_ptr<TState> state, std::uint32_t address) : FState(std::move(state)), FAddress(address) {}
  void GiveBack();

  // Shared with the places, so that a place may outlive them.
  std::shared_ptr<TState> FState;
  std::uint32_t FAddress = 0;
};

class TVisitorPlaces {
 public:
  TVisitorPlaces();
  // perVisitor and total: 0 sets no limit. Places already held stay.
  void SetLimits(int perVisitor, int total);

  // A place for address (an IPv4 address as the socket layer gives it):
  // empty at once when the address holds its share; when all places are
  // held, waits for one to come free, for at most waitMs and while
  // keepWaiting (asked every sliceMs) says so, and is empty when none came.
  TVisitorPlace Take(std::uint32_t address, int waitMs = 0, const std::function<bool()>& keepWaiting = {},
                     int sliceMs = 100);
  // Places the address holds or waits for; places held in all.
  int HeldBy(std::uint32_t address) const;
  int Held() const;

 private:
  std::shared_ptr<TVisitorPlace::TState> FState;
};
