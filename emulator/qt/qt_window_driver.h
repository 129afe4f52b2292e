// What a person does to the Qt window, done from outside its behaviour: by the emulated
// runner (its clicks, closes and screenshots) and by the tests.
#pragma once

#include <QImage>

#include "ui/qt/qt_window_view.h"

namespace dalvorn::emulator {

// As a mouse click on the upgrade button: nothing when the window is unloaded or the button
// is disabled.
void ClickUpgradeButton(QtWindowView& view);
// As the close box: the window unloads.
void CloseAsCloseBox(QtWindowView& view);
// The client area as it is painted now, one pixel per device-independent pixel (361 x 250).
QImage GrabClientArea(const QtWindowView& view);

}  // namespace dalvorn::emulator
