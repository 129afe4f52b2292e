// Runs the main window on the Win32 toolkit: load, the message loop, terminate. The real
// program and the emulated runner start the window the same way.
#pragma once

#include "device/desktop_shell.h"
#include "device/hid_platform.h"
#include "device/power_guard.h"
#include "ui/idle_watch.h"
#include "ui/win32/win32_window_view.h"
#include "ui/window_view.h"
#include "update/firmware_image.h"

namespace dalvorn {

// Runs the main window (ui/main_window_run.h) through the Win32 message loop: `window` draws
// it; `view` is what the window's behaviour drives, `window` itself or a decorator of it.
// Returns the program's exit status.
int RunMainWindow(Win32WindowView& window, WindowView& view, HidPlatform& platform,
                  FirmwareImageFile& image, const MainWindowHooks& hooks = {},
                  PowerGuard& power = NoPowerService(), IdleWatch& watch = NoIdleWatchService(),
                  DesktopShell& shell = NoDesktopService());

}  // namespace dalvorn
