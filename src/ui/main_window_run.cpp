#include "ui/main_window_run.h"

#include "ui/frm_main.h"

namespace dalvorn {

int RunMainWindow(const std::function<void()>& eventLoop, WindowView& view, HidPlatform& platform,
                  FirmwareImageFile& image, const MainWindowHooks& hooks, PowerGuard& power,
                  IdleWatch& watch, DesktopShell& shell) {
  FrmMain frm(platform, view, image, power, watch, shell);
  view.SetEvents(&frm);
  frm.Form_Load();
  if (hooks.afterLoad) hooks.afterLoad();
  eventLoop();
  if (hooks.beforeTerminate) hooks.beforeTerminate();
  frm.Form_Terminate();
  view.SetEvents(nullptr);
  return frm.ExitCode();
}

}  // namespace dalvorn
