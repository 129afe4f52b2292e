// dalvorn-firmware-update.exe: the program on Windows. It takes no command line;
// DALVORN_TRACE=FILE in the environment writes a trace of the run to FILE.
#include <memory>

#include "device/os_platform.h"
#include "device/power_guard.h"
#include "trace/program_trace.h"
#include "trace/tracing_window.h"
#include "ui/win32/win32_application.h"
#include "ui/win32/win32_window_view.h"
#include "update/firmware_image.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  const std::unique_ptr<dalvorn::HidPlatform> platform = dalvorn::MakeOsPlatform();
  dalvorn::DiskFirmwareImageFile image(dalvorn::BuiltInFirmwareKeys());
  dalvorn::Win32WindowView window;
  // Made after the window, so that it lets go of the window before the window goes.
  const std::unique_ptr<dalvorn::PowerGuard> power = dalvorn::MakeOsPowerGuard(window.Window());
  const auto tracePath = dalvorn::TracePathFromEnvironment();
  if (tracePath.empty())
    return dalvorn::RunMainWindow(window, window, *platform, image, {}, *power);

  dalvorn::ProgramTrace trace(tracePath, *platform, image);
  if (!trace.Opened()) return dalvorn::RunMainWindow(window, window, *platform, image, {}, *power);
  dalvorn::TracingWindowView view(window, trace.Writer());
  dalvorn::MainWindowHooks hooks;
  hooks.beforeTerminate = [&trace] { trace.Writer().Window("terminate"); };
  return trace.Finish(
      dalvorn::RunMainWindow(window, view, trace.Platform(), trace.Image(), hooks, *power));
}
