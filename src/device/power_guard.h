// The machine's power, for the length of an update: sleep, idle suspend and shutdown held off,
// and the battery's charge. A service of the operating system beside the HID operations; the
// update asks the battery and takes the hold at the click, the window lets go at its unload.
#pragma once

#include <memory>
#include <string_view>

#include "text/translation.h"

namespace dalvorn {

// Why the program holds the machine awake, as the system shows it (a shutdown that waits, the
// list of inhibitors), in English; shown through Tr.
inline constexpr std::string_view PowerHoldReason = TrMark("Updating the firmware of a device");

struct BatteryState {
  // False when there is no battery or its charge cannot be read; the other fields then mean
  // nothing.
  bool known = false;
  bool onBattery = false;  // the machine runs on its battery, not on a power supply
  int percentage = 0;      // the charge left, 0 to 100, rounded down
};

class PowerGuard {
 public:
  virtual ~PowerGuard() = default;

  // Holds off sleep, idle suspend and shutdown until Release. False when the system refused or
  // has no service for it (an operating system's guard then says why on standard error); the
  // update goes on either way.
  virtual bool Hold() = 0;
  // Lets go of whatever Hold took; does nothing when nothing is held, so a second call is
  // harmless.
  virtual void Release() = 0;
  // The battery as the system reports it now.
  virtual BatteryState Battery() = 0;
};

// A system with no power service: nothing is held, the battery is never known.
class NoPowerGuard final : public PowerGuard {
 public:
  bool Hold() override { return false; }
  void Release() override {}
  BatteryState Battery() override { return {}; }
};

// The one NoPowerGuard, for callers that run the program without a power service.
inline PowerGuard& NoPowerService() {
  static NoPowerGuard none;
  return none;
}

// The operating system's power service. `window` is the program's main window as the system
// knows it (an HWND on Windows, where a shutdown asks the windows first and shows the reason);
// other systems take null and ignore it.
std::unique_ptr<PowerGuard> MakeOsPowerGuard(void* window = nullptr);

}  // namespace dalvorn
