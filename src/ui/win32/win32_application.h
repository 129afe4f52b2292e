// Runs the main window on the Win32 toolkit: load, the message loop, terminate. The real
// program and the emulated runner start the window the same way.
#pragma once

#include "device/hid_platform.h"
#include "device/power_guard.h"
#include "ui/frm_main.h"
#include "ui/win32/win32_window_view.h"
#include "update/firmware_image.h"

namespace dalvorn {

// Creates FrmMain over `view` (the window itself, or a decorator of it), loads it, handles
// messages until the window is unloaded, terminates it and returns the program's exit status.
// The update holds the machine awake through `power`.
int RunMainWindow(Win32WindowView& window, WindowView& view, HidPlatform& platform,
                  FirmwareImageFile& image, const MainWindowHooks& hooks = {},
                  PowerGuard& power = NoPowerService());

}  // namespace dalvorn
