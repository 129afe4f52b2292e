#include "trace/tracing_window.h"

#include <string>

#include "ui/window_controls.h"

namespace dalvorn {
namespace {

std::string Name(Control control) {
  return std::string(ControlName(control));
}

}  // namespace

void TracingWindowEvents::Form_Unload() {
  trace_.Window("unload");
  if (target_ != nullptr) target_->Form_Unload();
}

void TracingWindowEvents::btnUpgradeFW_Click() {
  if (target_ != nullptr) target_->btnUpgradeFW_Click();
}

TracingWindowView::TracingWindowView(WindowView& inner, TraceWriter& trace)
    : inner_(inner), trace_(trace), events_(nullptr, trace) {}

void TracingWindowView::SetEvents(WindowEvents* events) {
  if (events == &events_) events = events_.Target();
  events_.SetTarget(events);
  inner_.SetEvents(events != nullptr ? &events_ : nullptr);
}

void TracingWindowView::Show() {
  trace_.Window("show");
  inner_.Show();
}

void TracingWindowView::SetWidth(Control control, float twips) {
  trace_.Window("width", TraceFields{{"control", Name(control)}, {"value", twips}});
  inner_.SetWidth(control, twips);
}

void TracingWindowView::SetVisible(Control control, bool visible) {
  trace_.Window("visible", TraceFields{{"control", Name(control)}, {"value", visible}});
  inner_.SetVisible(control, visible);
}

void TracingWindowView::SetEnabled(Control control, bool enabled) {
  trace_.Window("enabled", TraceFields{{"control", Name(control)}, {"value", enabled}});
  inner_.SetEnabled(control, enabled);
}

void TracingWindowView::SetCaption(Control control, const std::string& text) {
  if (control == Control::lblStatus) {
    trace_.Window("status", TraceFields{{"text", text}});
  } else {
    trace_.Window(IsValueLabel(control) ? "label" : "caption",
                  TraceFields{{"control", Name(control)}, {"text", text}});
  }
  inner_.SetCaption(control, text);
}

void TracingWindowView::Repaint(Control control) {
  trace_.Window("repaint", TraceFields{{"control", Name(control)}});
  inner_.Repaint(control);
}

void TracingWindowView::PumpEvents() {
  trace_.Window("pump");
  inner_.PumpEvents();
}

void TracingWindowView::MessageBox(const std::string& text) {
  trace_.Window("message_box", TraceFields{{"text", text}});
  inner_.MessageBox(text);
}

}  // namespace dalvorn
