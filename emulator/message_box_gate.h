// A view that passes every window operation through, except that it can keep message boxes
// from reaching the toolkit: a run that nobody watches must never wait for a person.
#pragma once

#include <string>

#include "forwarding_view.h"

namespace dalvorn::emulator {

class MessageBoxGate final : public ForwardingView {
 public:
  using ForwardingView::ForwardingView;

  // When set, MessageBox returns at once and shows nothing.
  void SetDismissed(bool dismissed) { dismissed_ = dismissed; }

  void MessageBox(const std::string& text) override {
    if (!dismissed_) Inner().MessageBox(text);
  }

 private:
  bool dismissed_ = false;
};

}  // namespace dalvorn::emulator
