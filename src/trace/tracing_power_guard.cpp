#include "trace/tracing_power_guard.h"

namespace dalvorn {

bool TracingPowerGuard::Hold() {
  const bool held = inner_.Hold();
  held_ = held_ || held;
  trace_.Power("hold", TraceFields{{"result", held}});
  return held;
}

void TracingPowerGuard::Release() {
  inner_.Release();
  if (!held_) return;
  held_ = false;
  trace_.Power("release");
}

BatteryState TracingPowerGuard::Battery() {
  const BatteryState state = inner_.Battery();
  if (!state.known) {
    trace_.Power("battery", TraceFields{{"known", false}});
  } else {
    trace_.Power("battery",
                 TraceFields{{"on_battery", state.onBattery}, {"percentage", state.percentage}});
  }
  return state;
}

}  // namespace dalvorn
