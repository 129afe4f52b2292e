#include "interface_order.h"

#include <iterator>

namespace dalvorn::emulator {

void InterfaceOrder::StartSearch() {
  metThisSearch_.clear();
  lastMet_.reset();
}

void InterfaceOrder::Meet(const std::string& key) {
  if (metThisSearch_.count(key) != 0) return;
  auto found = placed_.find(key);
  if (found == placed_.end()) {
    // Right after the interface this search met before it, or first. An interface placed right
    // after the one the device follows comes after the device too: the device stays where the
    // first search found it.
    const Place at = order_.insert(lastMet_ ? std::next(*lastMet_) : order_.cbegin(), key);
    found = placed_.emplace(std::string_view(*at), at).first;
  }
  lastMet_ = found->second;
  metThisSearch_.insert(found->first);
}

void InterfaceOrder::PlaceDevice() {
  if (devicePlaced_) return;
  devicePlaced_ = true;
  deviceAfter_ = lastMet_;
}

std::optional<std::size_t> InterfaceOrder::DevicePosition() const {
  if (!devicePlaced_) return std::nullopt;
  if (!deviceAfter_) return 0;
  return static_cast<std::size_t>(std::distance(order_.cbegin(), *deviceAfter_)) + 1;
}

}  // namespace dalvorn::emulator
