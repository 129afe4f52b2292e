#include "emulator/win32/win32_runner.h"

#include "emulator/emulated_run.h"
#include "ui/frm_main.h"
#include "ui/win32/png_writer.h"
#include "ui/win32/win32_application.h"
#include "ui/win32/win32_window_view.h"

namespace dalvorn::emulator {
namespace {

class Win32RunnerWindow final : public RunnerWindow {
 public:
  WindowView& View() override { return window_; }
  void SetMessageBoxesDismissed(bool dismissed) override {
    window_.SetMessageBoxesDismissed(dismissed);
  }
  bool SaveScreenshot(const std::string& path) override {
    const ClientImage shot = window_.GrabClientArea();
    return win32::WritePng(path, shot.width, shot.height, shot.pixels);
  }
  void ClickUpgradeButton() override { window_.ClickUpgradeButton(); }
  void CloseAsCloseBox() override { window_.CloseAsCloseBox(); }
  bool Unloaded() const override { return window_.Unloaded(); }

  int Run(WindowView& view, HidPlatform& platform, FirmwareImageFile& image,
          const std::function<void()>& afterLoad,
          const std::function<void()>& beforeTerminate) override {
    Win32MainWindowHooks hooks;
    hooks.afterLoad = [&](Win32WindowView&, FrmMain&) { afterLoad(); };
    hooks.beforeTerminate = [&](Win32WindowView&, FrmMain&) { beforeTerminate(); };
    return RunMainWindow(window_, view, platform, image, hooks);
  }

 private:
  Win32WindowView window_;
};

}  // namespace

int RunEmulatedWin32(const RunnerOptions& options) {
  return RunEmulatedIn(options, [] { return std::make_unique<Win32RunnerWindow>(); });
}

}  // namespace dalvorn::emulator
