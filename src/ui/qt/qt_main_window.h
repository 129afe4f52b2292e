// The main window's widget tree: every control of the layout at its place, in a window of
// fixed size. Private to the Qt layer; the program drives it through QtWindowView.
#pragma once

#include <QWidget>
#include <array>
#include <cmath>
#include <cstddef>
#include <functional>

#include "ui/window_controls.h"

class QPushButton;

namespace dalvorn {

// Twips to device-independent pixels, to the nearest pixel; never negative.
inline int TwipsToPixels(double twips) {
  const long px = std::lround(twips / TwipsPerPixel);
  return px < 0 ? 0 : static_cast<int>(px);
}

inline float PixelsToTwips(int px) {
  return static_cast<float>(px) * TwipsPerPixel;
}

// The window's font: "MS Sans Serif" 9 pt, or the nearest sans-serif face at 9 pt.
QFont MainWindowFont();

class QtMainWindow final : public QWidget {
 public:
  QtMainWindow();

  // The widget of a control; the window itself for frmMain.
  QWidget* ControlWidget(Control control) const;
  QPushButton* UpgradeButton() const;

  // Runs when the window is asked to close (close box, QWidget::close); the window then
  // closes (hides). The widgets are never deleted by closing.
  void SetCloseHandler(std::function<void()> handler) { closeHandler_ = std::move(handler); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void NameValueLabels();
  QWidget* MakeControl(const ControlLayout& row, QWidget* container);
  void SetTabOrder();

  std::array<QWidget*, static_cast<std::size_t>(ControlCount)> widgets_{};
  std::function<void()> closeHandler_;
};

}  // namespace dalvorn
