// The power service on Windows, with the system calls it makes open to tests: a recorder can
// stand in front of each and pass it on to the system.
#pragma once

#include <cstdint>
#include <memory>

#include "device/power_guard.h"

namespace dalvorn {

// The battery fields of GetSystemPowerStatus's SYSTEM_POWER_STATUS, in its own codes.
struct SystemPowerStatus {
  std::uint8_t acLineStatus = 255;        // 0 offline (on battery), 1 online, 255 unknown
  std::uint8_t batteryFlag = 255;         // 128: no system battery; 255: unknown
  std::uint8_t batteryLifePercent = 255;  // 0 to 100; 255: unknown
};

// The calls the guard makes, each with the system function's meaning and result.
struct WindowsPowerCalls {
  // The previous execution state, 0 when the call failed.
  std::uint32_t (*setThreadExecutionState)(std::uint32_t flags);
  bool (*shutdownBlockReasonCreate)(void* window, const wchar_t* reason);
  bool (*shutdownBlockReasonDestroy)(void* window);
  bool (*getSystemPowerStatus)(SystemPowerStatus& status);
};

// SetThreadExecutionState's flags.
inline constexpr std::uint32_t EsContinuous = 0x80000000u;
inline constexpr std::uint32_t EsSystemRequired = 0x00000001u;

// The system's own functions.
WindowsPowerCalls SystemPowerCalls();

// The battery as SYSTEM_POWER_STATUS reports it: known when the charge is given and a system
// battery is there.
BatteryState BatteryFromPowerStatus(const SystemPowerStatus& status);

// The guard over `calls`. Hold keeps the system awake (SetThreadExecutionState with
// ES_CONTINUOUS | ES_SYSTEM_REQUIRED) and, with a `window` (an HWND), sets the window's shutdown
// block reason and has the window refuse the end of the session, so that a shutdown waits and
// shows why; Release undoes them in the reverse order, from the thread that made the window.
std::unique_ptr<PowerGuard> MakeWindowsPowerGuard(void* window, const WindowsPowerCalls& calls);

}  // namespace dalvorn
