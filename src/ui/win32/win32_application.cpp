#include "ui/win32/win32_application.h"

namespace dalvorn {

int RunMainWindow(Win32WindowView& window, WindowView& view, HidPlatform& platform,
                  FirmwareImageFile& image, const Win32MainWindowHooks& hooks) {
  FrmMain frm(platform, view, image);
  view.SetEvents(&frm);
  frm.Form_Load();
  if (hooks.afterLoad) hooks.afterLoad(window, frm);
  window.RunMessageLoop();
  if (hooks.beforeTerminate) hooks.beforeTerminate(window, frm);
  frm.Form_Terminate();
  view.SetEvents(nullptr);
  return frm.ExitCode();
}

}  // namespace dalvorn
