// The main window drawn with Qt Widgets.
#pragma once

#include <memory>

#include "ui/window_view.h"

class QWidget;

namespace dalvorn {

class QtMainWindow;  // the QWidget, private to the toolkit layer

// Needs a QApplication. The widgets live as long as this object: unloading or closing the
// window only hides them, so code still running inside a PumpEvents is never left holding a
// deleted widget. Unloading asks the running event loop, if any, to end.
class QtWindowView final : public WindowView {
 public:
  QtWindowView();
  ~QtWindowView() override;
  QtWindowView(const QtWindowView&) = delete;
  QtWindowView& operator=(const QtWindowView&) = delete;

  void SetEvents(WindowEvents* events) override;
  void Show() override;
  float Width(Control control) const override;
  void SetWidth(Control control, float twips) override;
  void SetVisible(Control control, bool visible) override;
  void SetEnabled(Control control, bool enabled) override;
  void SetCaption(Control control, const std::string& text) override;
  void Repaint(Control control) override;
  void PumpEvents() override;
  void Unload() override;
  void MessageBox(const std::string& text) override;

  // The widgets, for whatever acts on the window from outside its behaviour: the emulated
  // runner's clicks and screenshots, the tests.
  QWidget* Window() const;
  QWidget* ControlWidget(Control control) const;

  // True once the window has been unloaded, by the close box or by Unload.
  bool Unloaded() const { return unloaded_; }
  // The text a control shows: button caption, label text, or the window's caption.
  std::string Caption(Control control) const;

 private:
  // Runs the unload handling unless it already ran, and ends the event loop.
  void UnloadOnce();

  std::unique_ptr<QtMainWindow> window_;
  WindowEvents* events_ = nullptr;
  bool unloaded_ = false;
};

}  // namespace dalvorn
