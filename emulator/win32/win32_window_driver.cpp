#include "win32/win32_window_driver.h"

#include <windows.h>

namespace dalvorn::emulator {

void ClickUpgradeButton(Win32WindowView& view) {
  HWND button = static_cast<HWND>(view.ControlWindow(Control::btnUpgradeFW));
  if (view.Unloaded() || !::IsWindowEnabled(button) || !::IsWindowVisible(button)) return;
  ::SendMessageW(button, BM_CLICK, 0, 0);
}

void CloseAsCloseBox(Win32WindowView& view) {
  ::SendMessageW(static_cast<HWND>(view.Window()), WM_CLOSE, 0, 0);
}

ClientImage GrabClientArea(Win32WindowView& view) {
  HWND window = static_cast<HWND>(view.Window());
  ::RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  return CaptureClientArea(window);
}

}  // namespace dalvorn::emulator
