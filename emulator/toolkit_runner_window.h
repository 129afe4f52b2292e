// The runner's window over one toolkit's view of the main window. The toolkit's view type
// provides the runner's controls (message boxes dismissed, click, close box, unloaded) and
// RunMainWindow(view, tracedView, platform, image, hooks) with its own hooks type; only the
// screenshot is left to the toolkit.
#pragma once

#include "emulator/emulated_run.h"
#include "ui/frm_main.h"

namespace dalvorn::emulator {

template <class ToolkitView, class Hooks>
class ToolkitRunnerWindow : public RunnerWindow {
 public:
  WindowView& View() override { return window_; }
  void SetMessageBoxesDismissed(bool dismissed) override {
    window_.SetMessageBoxesDismissed(dismissed);
  }
  void ClickUpgradeButton() override { window_.ClickUpgradeButton(); }
  void CloseAsCloseBox() override { window_.CloseAsCloseBox(); }
  bool Unloaded() const override { return window_.Unloaded(); }

  int Run(WindowView& view, HidPlatform& platform, FirmwareImageFile& image,
          const std::function<void()>& afterLoad,
          const std::function<void()>& beforeTerminate) override {
    Hooks hooks;
    hooks.afterLoad = [&](ToolkitView&, FrmMain&) { afterLoad(); };
    hooks.beforeTerminate = [&](ToolkitView&, FrmMain&) { beforeTerminate(); };
    return RunMainWindow(window_, view, platform, image, hooks);
  }

 protected:
  ToolkitView window_;
};

}  // namespace dalvorn::emulator
