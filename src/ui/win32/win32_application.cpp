#include "ui/win32/win32_application.h"

namespace dalvorn {

int RunMainWindow(Win32WindowView& window, WindowView& view, HidPlatform& platform,
                  FirmwareImageFile& image, const MainWindowHooks& hooks, PowerGuard& power) {
  FrmMain frm(platform, view, image, power);
  view.SetEvents(&frm);
  frm.Form_Load();
  if (hooks.afterLoad) hooks.afterLoad();
  window.RunMessageLoop();
  if (hooks.beforeTerminate) hooks.beforeTerminate();
  frm.Form_Terminate();
  view.SetEvents(nullptr);
  return frm.ExitCode();
}

}  // namespace dalvorn
