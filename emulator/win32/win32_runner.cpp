#include "win32/win32_runner.h"

#include "emulated_run.h"
#include "ui/win32/win32_application.h"
#include "ui/win32/win32_window_view.h"
#include "win32/png_writer.h"
#include "win32/win32_window_driver.h"

namespace dalvorn::emulator {
namespace {

bool SaveClientArea(Win32WindowView& window, const std::string& path) {
  const ClientImage shot = GrabClientArea(window);
  return win32::WritePng(path, shot.width, shot.height, shot.pixels);
}

using Win32RunnerWindow =
    ToolkitRunnerWindow<Win32WindowView, ClickUpgradeButton, CloseAsCloseBox, SaveClientArea>;

}  // namespace

int RunEmulatedWin32(const RunnerOptions& options) {
  return RunEmulatedIn(options, [] { return std::make_unique<Win32RunnerWindow>(); });
}

}  // namespace dalvorn::emulator
