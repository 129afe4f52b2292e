// The runner's clicks and closes at chosen event pumps: a view that passes every operation
// through and, once armed, acts right after the N-th event pump, as a person clicking or closing
// the window while the update runs would.
#pragma once

#include <functional>

#include "forwarding_view.h"

namespace dalvorn::emulator {

// What to do at the N-th event pump once armed (1 = the first; 0 = never).
struct PumpInjections {
  int closeAtPump = 0;
  int clickAtPump = 0;
  std::function<void()> close;  // as the close box does
  std::function<void()> click;  // as a click on the upgrade button
};

class PumpInjectingView final : public ForwardingView {
 public:
  using ForwardingView::ForwardingView;

  // Starts counting event pumps for `injections` from here on.
  void Arm(PumpInjections injections) {
    injections_ = std::move(injections);
    armed_ = true;
    pumps_ = 0;
  }

  // The inner pump first (and its trace line), then what falls due at this pump: a click
  // before a close.
  void PumpEvents() override {
    Inner().PumpEvents();
    if (!armed_) return;
    ++pumps_;
    if (pumps_ == injections_.clickAtPump && injections_.click) injections_.click();
    if (pumps_ == injections_.closeAtPump && injections_.close) injections_.close();
  }

 private:
  PumpInjections injections_;
  bool armed_ = false;
  int pumps_ = 0;
};

}  // namespace dalvorn::emulator
