// dalvorn-firmware-update.exe: the program on Windows. It takes no command line;
// DALVORN_TRACE=FILE in the environment writes a trace of the run to FILE.
#include <memory>

#include "device/desktop_shell.h"
#include "device/os_platform.h"
#include "device/power_guard.h"
#include "program_run.h"
#include "text/language_choice.h"
#include "ui/win32/win32_application.h"
#include "ui/win32/win32_idle_watch.h"
#include "ui/win32/win32_window_view.h"
#include "update/firmware_image.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  dalvorn::UseSystemLanguage();
  const std::unique_ptr<dalvorn::HidPlatform> platform = dalvorn::MakeOsPlatform();
  dalvorn::DiskFirmwareImageFile image(dalvorn::BuiltInFirmwareKeys());
  dalvorn::Win32WindowView window;
  // Devices plugged in or out, and the image's folder, while the window idles.
  dalvorn::Win32IdleWatch watch(window);
  // Made after the window, so that it lets go of the window before the window goes.
  const std::unique_ptr<dalvorn::PowerGuard> power = dalvorn::MakeOsPowerGuard(window.Window());
  // The taskbar button and the notification area's icon are the window's.
  const std::unique_ptr<dalvorn::DesktopShell> shell = dalvorn::MakeOsDesktopShell(window.Window());
  return dalvorn::RunProgram(window, *platform, image, *power, watch, *shell);
}
