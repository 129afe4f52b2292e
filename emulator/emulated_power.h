// The host's power service played from the scenario's `power`. It writes no trace of its own:
// the runner wraps it in the program's TracingPowerGuard (trace/tracing_power_guard.h), as the
// real program wraps the operating system's.
#pragma once

#include "device/power_guard.h"
#include "scenario.h"

namespace dalvorn::emulator {

class EmulatedPowerGuard final : public PowerGuard {
 public:
  explicit EmulatedPowerGuard(const PowerScenario& power) : power_(power) {}

  // False when the scenario has the hold refused.
  bool Hold() override { return !power_.holdRefused; }
  void Release() override {}
  // Not known when the scenario's percentage is null.
  BatteryState Battery() override;

 private:
  PowerScenario power_;
};

}  // namespace dalvorn::emulator
