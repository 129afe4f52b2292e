// Runs the main window on the Win32 toolkit: load, the message loop, terminate. The real
// program and the emulated runner start the window the same way.
#pragma once

#include <functional>

#include "device/hid_platform.h"
#include "ui/frm_main.h"
#include "ui/win32/win32_window_view.h"
#include "update/firmware_image.h"

namespace dalvorn {

struct Win32MainWindowHooks {
  // After Form_Load has returned, before the message loop (the runner's clicks and closes).
  std::function<void(Win32WindowView&, FrmMain&)> afterLoad;
  // After the message loop has ended, before Form_Terminate.
  std::function<void(Win32WindowView&, FrmMain&)> beforeTerminate;
};

// Creates FrmMain over `view` (the window itself, or a decorator of it), loads it, handles
// messages until the window is unloaded, terminates it and returns the program's exit status.
int RunMainWindow(Win32WindowView& window, WindowView& view, HidPlatform& platform,
                  FirmwareImageFile& image, const Win32MainWindowHooks& hooks = {});

}  // namespace dalvorn
