#include "headless_program.h"

#include "trace/tracing_image_file.h"
#include "trace/tracing_window.h"
#include "ui/frm_main.h"
#include "ui/window_controls.h"

namespace dalvorn::testing {

float HeadlessView::Width(Control control) const {
  const auto it = widths.find(control);
  if (it != widths.end()) return it->second;
  const ControlLayout* layout = FindLayout(control);
  return layout != nullptr ? static_cast<float>(layout->width) : 0.0f;
}

void HeadlessView::CloseAsCloseBox() {
  if (unloaded) return;
  unloaded = true;
  if (events_ != nullptr) events_->Form_Unload();
}

void HeadlessView::Click() {
  const auto it = enabled.find(Control::btnUpgradeFW);
  const bool buttonEnabled = it == enabled.end() || it->second;
  if (!unloaded && buttonEnabled && events_ != nullptr) events_->btnUpgradeFW_Click();
}

int RunClickedProgram(HidPlatform& platform, TraceWriter& trace, std::function<void()> atPump,
                      PowerGuard& power) {
  HeadlessView window(std::move(atPump), 1000);
  TracingWindowView view(window, trace);
  DiskFirmwareImageFile disk;
  TracingFirmwareImageFile image(disk, trace);
  FrmMain frm(platform, view, image, power);
  view.SetEvents(&frm);
  frm.Form_Load();
  window.Click();
  // A click that did nothing leaves the window loaded: it is closed as the close box does.
  if (!window.unloaded) window.Unload();
  trace.Window("terminate");
  frm.Form_Terminate();
  view.SetEvents(nullptr);
  const int exitCode = frm.ExitCode();
  trace.Exit(exitCode);
  return exitCode;
}

}  // namespace dalvorn::testing
