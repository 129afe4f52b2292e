#include "emulator/emulated_runner.h"

#include <QApplication>
#include <QImage>
#include <QString>

#include "emulator/toolkit_runner_window.h"
#include "ui/qt/qt_application.h"
#include "ui/qt/qt_window_view.h"

namespace dalvorn::emulator {
namespace {

class QtRunnerWindow final : public ToolkitRunnerWindow<QtWindowView, MainWindowHooks> {
 public:
  bool SaveScreenshot(const std::string& path) override {
    return window_.GrabClientArea().save(QString::fromStdString(path), "PNG");
  }
};

}  // namespace

int RunEmulated(const RunnerOptions& options, QApplication& /*app*/) {
  return RunEmulatedIn(options, [] { return std::make_unique<QtRunnerWindow>(); });
}

}  // namespace dalvorn::emulator
