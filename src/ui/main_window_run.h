// One run of the main window, whatever draws it: load, the toolkit's event loop, terminate.
// The Qt and the Win32 window each pass their own loop (qt/qt_application.h,
// win32/win32_application.h).
#pragma once

#include <functional>

#include "device/desktop_shell.h"
#include "device/hid_platform.h"
#include "device/power_guard.h"
#include "ui/idle_watch.h"
#include "ui/window_view.h"
#include "update/firmware_image.h"

namespace dalvorn {

// Creates FrmMain over `view`, loads it, runs `eventLoop` (which returns once the window has
// unloaded), terminates it and returns the program's exit status. The update holds the machine
// awake through `power`; the idle window hears of devices and of the image's folder through
// `watch`; the update's progress and end reach the desktop through `shell`.
int RunMainWindow(const std::function<void()>& eventLoop, WindowView& view, HidPlatform& platform,
                  FirmwareImageFile& image, const MainWindowHooks& hooks, PowerGuard& power,
                  IdleWatch& watch, DesktopShell& shell = NoDesktopService());

}  // namespace dalvorn
