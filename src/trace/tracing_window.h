// The window's view and handlers with every window operation written to the trace.
#pragma once

#include <string>

#include "trace/trace_writer.h"
#include "ui/window_view.h"

namespace dalvorn {

// Writes `unload` before the unload handling runs; clicks pass through unrecorded.
class TracingWindowEvents final : public WindowEvents {
 public:
  TracingWindowEvents(WindowEvents* target, TraceWriter& trace) : target_(target), trace_(trace) {}

  void SetTarget(WindowEvents* target) { target_ = target; }
  WindowEvents* Target() const { return target_; }

  void Form_Unload() override;
  void btnUpgradeFW_Click() override;

 private:
  WindowEvents* target_;
  TraceWriter& trace_;
};

class TracingWindowView final : public WindowView {
 public:
  TracingWindowView(WindowView& inner, TraceWriter& trace);

  // The handlers reach `inner` wrapped in Events(), so unloads are traced whoever set them.
  void SetEvents(WindowEvents* events) override;
  void Show() override;
  float Width(Control control) const override { return inner_.Width(control); }
  void SetWidth(Control control, float twips) override;
  void SetVisible(Control control, bool visible) override;
  void SetEnabled(Control control, bool enabled) override;
  void SetCaption(Control control, const std::string& text) override;
  void Repaint(Control control) override;
  void PumpEvents() override;
  void Unload() override { inner_.Unload(); }
  void MessageBox(const std::string& text) override;

  TracingWindowEvents& Events() { return events_; }

 private:
  WindowView& inner_;
  TraceWriter& trace_;
  TracingWindowEvents events_;
};

}  // namespace dalvorn
