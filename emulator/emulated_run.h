// One emulated run, whatever toolkit draws the window: loads the scenario, opens the trace,
// builds the emulated platform and the traced window and image, does what the options ask
// once the window has loaded, and ends the trace with the flash and exit lines.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "device/desktop_shell.h"
#include "device/hid_platform.h"
#include "device/power_guard.h"
#include "runner_options.h"
#include "ui/idle_watch.h"
#include "ui/window_view.h"
#include "update/firmware_image.h"

namespace dalvorn::emulator {

// What a run needs of the toolkit's window, beyond the view the window's behaviour drives.
class RunnerWindow {
 public:
  virtual ~RunnerWindow() = default;

  virtual WindowView& View() = 0;
  // Saves the client area as a PNG; false when the file cannot be written.
  virtual bool SaveScreenshot(const std::string& path) = 0;
  virtual void ClickUpgradeButton() = 0;
  virtual void CloseAsCloseBox() = 0;
  virtual bool Unloaded() const = 0;

  // Runs the main window over `view` (this window's view, traced) through the toolkit's main
  // loop: Form_Load, `hooks.afterLoad`, the loop until the window is unloaded,
  // `hooks.beforeTerminate`, Form_Terminate. The update holds the machine awake through
  // `power`; the idle window hears of devices and of its folder through `watch`; the taskbar
  // and the notifications are `shell`'s. Returns the program's exit status.
  virtual int Run(WindowView& view, HidPlatform& platform, FirmwareImageFile& image,
                  const MainWindowHooks& hooks, PowerGuard& power, IdleWatch& watch,
                  DesktopShell& shell) = 0;
};

// The runner's window over one toolkit's view: the toolkit's driver clicks and closes it as a
// person does, and saves its client area as a PNG. The toolkit's RunMainWindow runs it.
template <typename ToolkitView, void (*Click)(ToolkitView&), void (*Close)(ToolkitView&),
          bool (*Save)(ToolkitView&, const std::string&)>
class ToolkitRunnerWindow final : public RunnerWindow {
 public:
  WindowView& View() override { return window_; }
  bool SaveScreenshot(const std::string& path) override { return Save(window_, path); }
  void ClickUpgradeButton() override { Click(window_); }
  void CloseAsCloseBox() override { Close(window_); }
  bool Unloaded() const override { return window_.Unloaded(); }
  int Run(WindowView& view, HidPlatform& platform, FirmwareImageFile& image,
          const MainWindowHooks& hooks, PowerGuard& power, IdleWatch& watch,
          DesktopShell& shell) override {
    return RunMainWindow(window_, view, platform, image, hooks, power, watch, shell);
  }

 private:
  ToolkitView window_;
};

// Runs once as the options say; the window is made by `makeWindow` once the scenario and the
// trace are ready. Returns the program's exit status, or one of the runner's own statuses with
// the reason on standard error.
int RunEmulatedIn(const RunnerOptions& options,
                  const std::function<std::unique_ptr<RunnerWindow>()>& makeWindow);

}  // namespace dalvorn::emulator
