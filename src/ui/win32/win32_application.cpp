#include "ui/win32/win32_application.h"

#include "ui/main_window_run.h"

namespace dalvorn {

int RunMainWindow(Win32WindowView& window, WindowView& view, HidPlatform& platform,
                  FirmwareImageFile& image, const MainWindowHooks& hooks, PowerGuard& power,
                  IdleWatch& watch, DesktopShell& shell) {
  return RunMainWindow([&window] { window.RunMessageLoop(); }, view, platform, image, hooks, power,
                       watch, shell);
}

}  // namespace dalvorn
