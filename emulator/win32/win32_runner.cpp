#include "emulator/win32/win32_runner.h"

#include "emulator/toolkit_runner_window.h"
#include "ui/win32/png_writer.h"
#include "ui/win32/win32_application.h"
#include "ui/win32/win32_window_view.h"

namespace dalvorn::emulator {
namespace {

class Win32RunnerWindow final : public ToolkitRunnerWindow<Win32WindowView, Win32MainWindowHooks> {
 public:
  bool SaveScreenshot(const std::string& path) override {
    const ClientImage shot = window_.GrabClientArea();
    return win32::WritePng(path, shot.width, shot.height, shot.pixels);
  }
};

}  // namespace

int RunEmulatedWin32(const RunnerOptions& options) {
  return RunEmulatedIn(options, [] { return std::make_unique<Win32RunnerWindow>(); });
}

}  // namespace dalvorn::emulator
