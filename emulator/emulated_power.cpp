#include "emulated_power.h"

namespace dalvorn::emulator {

BatteryState EmulatedPowerGuard::Battery() {
  BatteryState state;
  if (!power_.percentage) return state;
  state.known = true;
  state.onBattery = power_.onBattery;
  state.percentage = *power_.percentage;
  return state;
}

}  // namespace dalvorn::emulator
