#include "qt/qt_window_driver.h"

#include <QAbstractButton>
#include <QPixmap>
#include <QWidget>

namespace dalvorn::emulator {

void ClickUpgradeButton(QtWindowView& view) {
  if (view.Unloaded()) return;
  auto* button = qobject_cast<QAbstractButton*>(view.ControlWidget(Control::btnUpgradeFW));
  if (button != nullptr) button->click();  // a disabled button takes no click
}

void CloseAsCloseBox(QtWindowView& view) {
  view.Window()->close();
}

QImage GrabClientArea(const QtWindowView& view) {
  QWidget* window = view.Window();
  window->ensurePolished();
  QImage image = window->grab().toImage();
  if (image.size() != window->size()) {
    // A high-density screen: bring it to one pixel per device-independent pixel.
    image = image.scaled(window->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(1.0);
  }
  return image;
}

}  // namespace dalvorn::emulator
