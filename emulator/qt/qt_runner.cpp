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

bool SaveClientArea(QtWindowView& window, const std::string& path) {
  return GrabClientArea(window).save(QString::fromStdString(path), "PNG");
}

using QtRunnerWindow =
    ToolkitRunnerWindow<QtWindowView, ClickUpgradeButton, CloseAsCloseBox, SaveClientArea>;

}  // namespace

int RunEmulated(const RunnerOptions& options, QApplication& /*app*/) {
  return RunEmulatedIn(options, [] { return std::make_unique<QtRunnerWindow>(); });
}

}  // namespace dalvorn::emulator
