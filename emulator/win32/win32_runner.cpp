#include "win32/win32_runner.h"

#include "emulated_run.h"
#include "ui/win32/win32_application.h"
#include "ui/win32/win32_window_view.h"
#include "win32/png_writer.h"
#include "win32/win32_window_driver.h"

namespace dalvorn::emulator {
namespace {

class Win32RunnerWindow final : public RunnerWindow {
 public:
  WindowView& View() override { return window_; }
  bool SaveScreenshot(const std::string& path) override {
    const ClientImage shot = GrabClientArea(window_);
    return win32::WritePng(path, shot.width, shot.height, shot.pixels);
  }
  void ClickUpgradeButton() override { emulator::ClickUpgradeButton(window_); }
  void CloseAsCloseBox() override { emulator::CloseAsCloseBox(window_); }
  bool Unloaded() const override { return window_.Unloaded(); }
  int Run(WindowView& view, HidPlatform& platform, FirmwareImageFile& image,
          const MainWindowHooks& hooks, PowerGuard& power, IdleWatch& watch,
          DesktopShell& shell) override {
    return RunMainWindow(window_, view, platform, image, hooks, power, watch, shell);
  }

 private:
  Win32WindowView window_;
};

}  // namespace

int RunEmulatedWin32(const RunnerOptions& options) {
  return RunEmulatedIn(options, [] { return std::make_unique<Win32RunnerWindow>(); });
}

}  // namespace dalvorn::emulator
