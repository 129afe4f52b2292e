// dalvorn-firmware-update: updates the firmware of the Dalvorn device. It takes no command
// line; DALVORN_TRACE=FILE in the environment writes a trace of the run to FILE.
#include <QApplication>

#include "device/os_platform.h"
#include "trace/program_trace.h"
#include "trace/tracing_window.h"
#include "ui/qt/qt_application.h"
#include "ui/qt/qt_window_view.h"
#include "update/firmware_image.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  dalvorn::SetUpApplication(app);
  const auto platform = dalvorn::MakeOsPlatform();
  dalvorn::DiskFirmwareImageFile image;
  const auto tracePath = dalvorn::TracePathFromEnvironment();
  if (tracePath.empty()) return dalvorn::RunMainWindow(*platform, image);

  dalvorn::ProgramTrace trace(tracePath, *platform, image);
  if (!trace.Opened()) return dalvorn::RunMainWindow(*platform, image);
  dalvorn::QtWindowView window;
  dalvorn::TracingWindowView view(window, trace.Writer());
  dalvorn::MainWindowHooks hooks;
  hooks.beforeTerminate = [&trace] { trace.Writer().Window("terminate"); };
  return trace.Finish(dalvorn::RunMainWindow(window, view, trace.Platform(), trace.Image(), hooks));
}
