// What both entry points of dalvorn-firmware-update do once their toolkit's window exists: run
// the main window over the real platform, traced when DALVORN_TRACE names a file.
#pragma once

#include <functional>

#include "device/desktop_shell.h"
#include "device/hid_platform.h"
#include "device/power_guard.h"
#include "ui/idle_watch.h"
#include "ui/window_view.h"
#include "update/firmware_image.h"

namespace dalvorn {

// Runs the main window once over `view`, `platform`, `image`, the power service `power`,
// `watch` and the desktop's services `shell` (the toolkit's RunMainWindow) and returns its exit
// status.
using MainWindowRun = std::function<int(
    WindowView& view, HidPlatform& platform, FirmwareImageFile& image, PowerGuard& power,
    IdleWatch& watch, DesktopShell& shell, const MainWindowHooks& hooks)>;

// Runs `run` over `window`, `platform`, `image`, `power`, `watch` and `shell`, or, when
// DALVORN_TRACE names a file that can be opened, over their traced decorators, writing the trace
// to that file. Returns the exit status; the trace never changes it.
int RunProgram(WindowView& window, HidPlatform& platform, FirmwareImageFile& image,
               PowerGuard& power, IdleWatch& watch, DesktopShell& shell, const MainWindowRun& run);

// RunProgram with the main window of `window`'s toolkit: its RunMainWindow, found beside the
// toolkit's window view, runs the window over what RunProgram gives it.
template <typename ToolkitWindow>
int RunProgram(ToolkitWindow& window, HidPlatform& platform, FirmwareImageFile& image,
               PowerGuard& power, IdleWatch& watch, DesktopShell& shell) {
  return RunProgram(
      window, platform, image, power, watch, shell,
      [&window](WindowView& view, HidPlatform& hid, FirmwareImageFile& file, PowerGuard& guard,
                IdleWatch& idle, DesktopShell& desktop, const MainWindowHooks& hooks) {
        return RunMainWindow(window, view, hid, file, hooks, guard, idle, desktop);
      });
}

}  // namespace dalvorn
