// A view that passes every window operation through, except that it can keep message boxes
// from reaching the toolkit: a run that nobody watches must never wait for a person.
#pragma once

#include <string>

#include "ui/window_view.h"

namespace dalvorn::emulator {

class MessageBoxGate final : public WindowView {
 public:
  explicit MessageBoxGate(WindowView& inner) : inner_(inner) {}

  // When set, MessageBox returns at once and shows nothing.
  void SetDismissed(bool dismissed) { dismissed_ = dismissed; }

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
  void MessageBox(const std::string& text) override {
    if (!dismissed_) inner_.MessageBox(text);
  }

 private:
  WindowView& inner_;
  bool dismissed_ = false;
};

}  // namespace dalvorn::emulator
