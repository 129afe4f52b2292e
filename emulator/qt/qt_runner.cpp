#include "qt/qt_runner.h"

#include <QApplication>
#include <QImage>
#include <QString>

#include "emulated_run.h"
#include "qt/qt_window_driver.h"
#include "ui/qt/qt_application.h"
#include "ui/qt/qt_window_view.h"

namespace dalvorn::emulator {
namespace {

class QtRunnerWindow final : public RunnerWindow {
 public:
  WindowView& View() override { return window_; }
  bool SaveScreenshot(const std::string& path) override {
    return GrabClientArea(window_).save(QString::fromStdString(path), "PNG");
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
  QtWindowView window_;
};

}  // namespace

int RunEmulated(const RunnerOptions& options, QApplication& /*app*/) {
  return RunEmulatedIn(options, [] { return std::make_unique<QtRunnerWindow>(); });
}

}  // namespace dalvorn::emulator
