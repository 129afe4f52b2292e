// dalvorn-firmware-update.exe: the program on Windows. It takes no command line.
#include <memory>

#include "device/os_platform.h"
#include "ui/win32/win32_application.h"
#include "ui/win32/win32_window_view.h"
#include "update/firmware_image.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  const std::unique_ptr<dalvorn::HidPlatform> platform = dalvorn::MakeOsPlatform();
  dalvorn::DiskFirmwareImageFile image;
  dalvorn::Win32WindowView window;
  return dalvorn::RunMainWindow(window, window, *platform, image);
}
