// The host's power service played from the scenario's `power`: every question the update asks
// and every hold it takes or lets go is a `power` line of the trace, on the emulation's clock.
#pragma once

#include "device/power_guard.h"
#include "scenario.h"
#include "trace/trace_writer.h"

namespace dalvorn::emulator {

class EmulatedPowerGuard final : public PowerGuard {
 public:
  EmulatedPowerGuard(const PowerScenario& power, TraceWriter& trace);

  // `hold` with `result`: false when the scenario has the hold refused.
  bool Hold() override;
  // `release`, only when a hold was taken and not let go yet.
  void Release() override;
  // `battery` with `on_battery` and `percentage`, or `known: false` when the scenario's
  // percentage is null.
  BatteryState Battery() override;

 private:
  PowerScenario power_;
  TraceWriter& trace_;
  bool held_ = false;
};

}  // namespace dalvorn::emulator
