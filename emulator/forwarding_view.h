// A view that passes every window operation to another: the base of the runner's views that
// change one operation (message boxes kept from an unwatched run, clicks at chosen pumps).
#pragma once

#include <string>

#include "ui/window_view.h"

namespace dalvorn::emulator {

class ForwardingView : public WindowView {
 public:
  explicit ForwardingView(WindowView& inner) : inner_(inner) {}

  void SetEvents(WindowEvents* events) override { inner_.SetEvents(events); }
  void Show() override { inner_.Show(); }
  float Width(Control control) const override { return inner_.Width(control); }
  void SetWidth(Control control, float twips) override { inner_.SetWidth(control, twips); }
  void SetVisible(Control control, bool visible) override { inner_.SetVisible(control, visible); }
  void SetEnabled(Control control, bool enabled) override { inner_.SetEnabled(control, enabled); }
  void SetCaption(Control control, const std::string& text) override {
    inner_.SetCaption(control, text);
  }
  void Repaint(Control control) override { inner_.Repaint(control); }
  void PumpEvents() override { inner_.PumpEvents(); }
  void Unload() override { inner_.Unload(); }
  void MessageBox(const std::string& text) override { inner_.MessageBox(text); }

 protected:
  WindowView& Inner() { return inner_; }

 private:
  WindowView& inner_;
};

}  // namespace dalvorn::emulator
