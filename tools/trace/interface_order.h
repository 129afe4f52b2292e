// The host's interfaces other than the device, in the order a recorded trace's searches met
// them, and the device's place among them. A search that meets an interface no search met before
// places it right after the one it met before it, so that an interface plugged in later keeps
// its place in the enumeration. Each step takes constant time however many interfaces the host
// has: a trace of hundreds of thousands of them is read in one pass.
#pragma once

#include <cstddef>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace dalvorn::emulator {

class InterfaceOrder {
 public:
  InterfaceOrder() = default;
  InterfaceOrder(const InterfaceOrder&) = delete;
  InterfaceOrder& operator=(const InterfaceOrder&) = delete;

  // A search begins: it has met nothing yet.
  void StartSearch();
  // The search under way met the interface `key`; a second meeting in one search changes
  // nothing.
  void Meet(const std::string& key);
  // The search under way found the device after the interfaces it met so far. Only the first
  // call counts.
  void PlaceDevice();
  bool DevicePlaced() const { return devicePlaced_; }

  // The interfaces in order, and the device's place among them (none when never placed).
  const std::list<std::string>& Keys() const { return order_; }
  std::optional<std::size_t> DevicePosition() const;

 private:
  using Place = std::list<std::string>::const_iterator;

  // The keys in order; list nodes never move, so the views below stay valid.
  std::list<std::string> order_;
  std::unordered_map<std::string_view, Place> placed_;
  std::unordered_set<std::string_view> metThisSearch_;
  std::optional<Place> lastMet_;  // in the search under way
  bool devicePlaced_ = false;
  // The interface the device follows; none: the device comes first.
  std::optional<Place> deviceAfter_;
};

}  // namespace dalvorn::emulator
