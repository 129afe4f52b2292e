#include "emulator/emulated_runner.h"

#include <QApplication>
#include <QImage>
#include <QString>

#include "emulator/emulated_run.h"
#include "ui/frm_main.h"
#include "ui/qt/qt_application.h"
#include "ui/qt/qt_window_view.h"

namespace dalvorn::emulator {
namespace {

class QtRunnerWindow final : public RunnerWindow {
 public:
  WindowView& View() override { return window_; }
  void SetMessageBoxesDismissed(bool dismissed) override {
    window_.SetMessageBoxesDismissed(dismissed);
  }
  bool SaveScreenshot(const std::string& path) override {
    return window_.GrabClientArea().save(QString::fromStdString(path), "PNG");
  }
  void ClickUpgradeButton() override { window_.ClickUpgradeButton(); }
  void CloseAsCloseBox() override { window_.CloseAsCloseBox(); }
  bool Unloaded() const override { return window_.Unloaded(); }

  int Run(WindowView& view, HidPlatform& platform, FirmwareImageFile& image,
          const std::function<void()>& afterLoad,
          const std::function<void()>& beforeTerminate) override {
    MainWindowHooks hooks;
    hooks.afterLoad = [&](QtWindowView&, FrmMain&) { afterLoad(); };
    hooks.beforeTerminate = [&](QtWindowView&, FrmMain&) { beforeTerminate(); };
    return RunMainWindow(window_, view, platform, image, hooks);
  }

 private:
  QtWindowView window_;
};

}  // namespace

int RunEmulated(const RunnerOptions& options, QApplication& /*app*/) {
  return RunEmulatedIn(options, [] { return std::make_unique<QtRunnerWindow>(); });
}

}  // namespace dalvorn::emulator
