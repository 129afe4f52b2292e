#include "device/windows/power_guard_windows.h"

#include <windows.h>

#include <cstring>
#include <iostream>
#include <string>

#include "text/text_codec.h"

namespace dalvorn {
namespace {

// The window's own procedure while the guard holds the session open.
constexpr wchar_t PreviousProcProperty[] = L"DalvornPowerGuardPreviousProc";

// While the update runs, the window answers a shutdown's query with "not now": the system then
// waits and shows the window's shutdown block reason. Everything else goes on to the window.
LRESULT CALLBACK RefuseEndOfSession(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_QUERYENDSESSION) return FALSE;
  const auto previous = reinterpret_cast<WNDPROC>(::GetPropW(window, PreviousProcProperty));
  if (previous == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  return ::CallWindowProcW(previous, window, message, wParam, lParam);
}

void InterceptEndOfSession(HWND window) {
  ::SetPropW(window, PreviousProcProperty,
             reinterpret_cast<HANDLE>(::GetWindowLongPtrW(window, GWLP_WNDPROC)));
  ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RefuseEndOfSession));
}

void RestoreEndOfSession(HWND window) {
  const HANDLE previous = ::RemovePropW(window, PreviousProcProperty);
  if (previous == nullptr) return;
  const auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC));
  if (current == &RefuseEndOfSession) {
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  }
}

std::uint32_t SystemSetThreadExecutionState(std::uint32_t flags) {
  return ::SetThreadExecutionState(flags);
}
bool SystemShutdownBlockReasonCreate(void* window, const wchar_t* reason) {
  return ::ShutdownBlockReasonCreate(static_cast<HWND>(window), reason) != FALSE;
}
bool SystemShutdownBlockReasonDestroy(void* window) {
  return ::ShutdownBlockReasonDestroy(static_cast<HWND>(window)) != FALSE;
}
bool SystemGetSystemPowerStatus(SystemPowerStatus& status) {
  SYSTEM_POWER_STATUS system{};
  if (!::GetSystemPowerStatus(&system)) return false;
  status.acLineStatus = system.ACLineStatus;
  status.batteryFlag = system.BatteryFlag;
  status.batteryLifePercent = system.BatteryLifePercent;
  return true;
}

class WindowsPowerGuard final : public PowerGuard {
 public:
  WindowsPowerGuard(void* window, const WindowsPowerCalls& calls)
      : window_(static_cast<HWND>(window)), calls_(calls) {}
  WindowsPowerGuard(const WindowsPowerGuard&) = delete;
  WindowsPowerGuard& operator=(const WindowsPowerGuard&) = delete;
  ~WindowsPowerGuard() override { Release(); }

  bool Hold() override {
    std::string failures;
    if (!sleepHeld_) {
      sleepHeld_ = calls_.setThreadExecutionState(EsContinuous | EsSystemRequired) != 0;
      if (!sleepHeld_) failures += "SetThreadExecutionState: " + WindowsErrorText(::GetLastError());
    }
    if (window_ != nullptr && !shutdownHeld_) {
      const std::wstring wideReason = WideFromUtf8(Tr(PowerHoldReason));
      shutdownHeld_ = calls_.shutdownBlockReasonCreate(window_, wideReason.c_str());
      if (shutdownHeld_) {
        InterceptEndOfSession(window_);
      } else {
        if (!failures.empty()) failures += "; ";
        failures += "ShutdownBlockReasonCreate: " + WindowsErrorText(::GetLastError());
      }
    }
    if (failures.empty()) return true;
    std::cerr << "dalvorn-firmware-update: sleep and shutdown are not held off during the "
                 "update: "
              << failures << '\n';
    return false;
  }

  void Release() override {
    if (shutdownHeld_) {
      RestoreEndOfSession(window_);
      calls_.shutdownBlockReasonDestroy(window_);
      shutdownHeld_ = false;
    }
    if (sleepHeld_) {
      calls_.setThreadExecutionState(EsContinuous);
      sleepHeld_ = false;
    }
  }

  BatteryState Battery() override {
    SystemPowerStatus status;
    if (!calls_.getSystemPowerStatus(status)) return {};
    return BatteryFromPowerStatus(status);
  }

 private:
  HWND window_;
  WindowsPowerCalls calls_;
  bool sleepHeld_ = false;
  bool shutdownHeld_ = false;
};

}  // namespace

WindowsPowerCalls SystemPowerCalls() {
  return {&SystemSetThreadExecutionState, &SystemShutdownBlockReasonCreate,
          &SystemShutdownBlockReasonDestroy, &SystemGetSystemPowerStatus};
}

BatteryState BatteryFromPowerStatus(const SystemPowerStatus& status) {
  constexpr std::uint8_t NoSystemBattery = 128;
  constexpr std::uint8_t Unknown = 255;
  BatteryState state;
  const bool noBattery =
      status.batteryFlag != Unknown && (status.batteryFlag & NoSystemBattery) != 0;
  if (noBattery || status.batteryLifePercent > 100) return state;
  state.known = true;
  state.onBattery = status.acLineStatus == 0;
  state.percentage = status.batteryLifePercent;
  return state;
}

std::unique_ptr<PowerGuard> MakeWindowsPowerGuard(void* window, const WindowsPowerCalls& calls) {
  return std::make_unique<WindowsPowerGuard>(window, calls);
}

std::unique_ptr<PowerGuard> MakeOsPowerGuard(void* window) {
  return MakeWindowsPowerGuard(window, SystemPowerCalls());
}

}  // namespace dalvorn
