#include "emulated_power.h"

namespace dalvorn::emulator {

EmulatedPowerGuard::EmulatedPowerGuard(const PowerScenario& power, TraceWriter& trace)
    : power_(power), trace_(trace) {}

bool EmulatedPowerGuard::Hold() {
  held_ = !power_.holdRefused;
  trace_.Power("hold", TraceFields{{"result", held_}});
  return held_;
}

void EmulatedPowerGuard::Release() {
  if (!held_) return;
  held_ = false;
  trace_.Power("release");
}

BatteryState EmulatedPowerGuard::Battery() {
  BatteryState state;
  if (!power_.percentage) {
    trace_.Power("battery", TraceFields{{"known", false}});
    return state;
  }
  state.known = true;
  state.onBattery = power_.onBattery;
  state.percentage = *power_.percentage;
  trace_.Power("battery",
               TraceFields{{"on_battery", state.onBattery}, {"percentage", state.percentage}});
  return state;
}

}  // namespace dalvorn::emulator
