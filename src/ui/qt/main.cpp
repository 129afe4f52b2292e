// dalvorn-firmware-update: updates the firmware of the Dalvorn device. It takes no command
// line; DALVORN_TRACE=FILE in the environment writes a trace of the run to FILE.
#include <QApplication>

#include "device/os_platform.h"
#include "device/power_guard.h"
#include "trace/program_trace.h"
#include "trace/trace_file.h"
#include "trace/tracing_window.h"
#include "ui/qt/qt_application.h"
#include "ui/qt/qt_window_view.h"
#include "update/firmware_image.h"

int main(int argc, char* argv[]) {
  // A trace pipe whose reader has gone must end the trace, never the update.
  dalvorn::IgnoreBrokenPipes();
  QApplication app(argc, argv);
  dalvorn::SetUpApplication(app);
  const auto platform = dalvorn::MakeOsPlatform();
  const auto power = dalvorn::MakeOsPowerGuard();
  dalvorn::DiskFirmwareImageFile image(dalvorn::BuiltInFirmwareKeys());
  const auto tracePath = dalvorn::TracePathFromEnvironment();
  if (tracePath.empty()) return dalvorn::RunMainWindow(*platform, image, *power);

  dalvorn::ProgramTrace trace(tracePath, *platform, image);
  if (!trace.Opened()) return dalvorn::RunMainWindow(*platform, image, *power);
  dalvorn::QtWindowView window;
  dalvorn::TracingWindowView view(window, trace.Writer());
  dalvorn::MainWindowHooks hooks;
  hooks.beforeTerminate = [&trace] { trace.Writer().Window("terminate"); };
  return trace.Finish(
      dalvorn::RunMainWindow(window, view, trace.Platform(), trace.Image(), hooks, *power));
}
