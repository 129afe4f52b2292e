// What a person does to the native window, done from outside its behaviour: by the emulated
// runner (its clicks, closes and screenshots) and by the tests.
#pragma once

#include "ui/win32/win32_window_view.h"
#include "win32/win32_capture.h"

namespace dalvorn::emulator {

// As a mouse click on the upgrade button: nothing when the window is unloaded or the button
// is disabled or hidden.
void ClickUpgradeButton(Win32WindowView& view);
// As the close box: the window unloads.
void CloseAsCloseBox(Win32WindowView& view);
// The client area as it is painted now (361 x 250 at 96 dots per inch).
ClientImage GrabClientArea(Win32WindowView& view);

}  // namespace dalvorn::emulator
