#include "headless_program.h"

#include "trace/tracing_image_file.h"
#include "trace/tracing_window.h"
#include "ui/frm_main.h"
#include "ui/window_controls.h"

namespace dalvorn::testing {

float QuietView::Width(Control control) const {
  const ControlLayout* layout = FindLayout(control);
  return layout != nullptr ? static_cast<float>(layout->width) : 0.0f;
}

void QuietView::SetEnabled(Control control, bool enabled) {
  if (control == Control::btnUpgradeFW) buttonEnabled_ = enabled;
}

void QuietView::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  if (events_ != nullptr) events_->Form_Unload();
}

void QuietView::Click() {
  if (!unloaded_ && buttonEnabled_ && events_ != nullptr) events_->btnUpgradeFW_Click();
}

int RunClickedProgram(HidPlatform& platform, TraceWriter& trace, std::function<void()> atPump,
                      PowerGuard& power) {
  QuietView window(std::move(atPump));
  TracingWindowView view(window, trace);
  DiskFirmwareImageFile disk;
  TracingFirmwareImageFile image(disk, trace);
  FrmMain frm(platform, view, image, power);
  view.SetEvents(&frm);
  frm.Form_Load();
  window.Click();
  // A click that did nothing leaves the window loaded: it is closed as the close box does.
  if (!window.Unloaded()) window.Unload();
  trace.Window("terminate");
  frm.Form_Terminate();
  view.SetEvents(nullptr);
  const int exitCode = frm.ExitCode();
  trace.Exit(exitCode);
  return exitCode;
}

}  // namespace dalvorn::testing
