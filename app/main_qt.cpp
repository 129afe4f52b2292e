// dalvorn-firmware-update: updates the firmware of the Dalvorn device. It takes no command
// line; DALVORN_TRACE=FILE in the environment writes a trace of the run to FILE.
#include <QApplication>

#include <iostream>

#include "device/desktop_shell.h"
#include "device/device_monitor.h"
#include "device/os_platform.h"
#include "device/power_guard.h"
#include "program_run.h"
#include "trace/trace_file.h"
#include "ui/qt/qt_application.h"
#include "ui/qt/qt_idle_watch.h"
#include "ui/qt/qt_window_view.h"
#include "update/firmware_image.h"

int main(int argc, char* argv[]) {
  // A trace pipe whose reader has gone must end the trace, never the update.
  dalvorn::IgnoreBrokenPipes();
  QApplication app(argc, argv);
  dalvorn::SetUpApplication(app);
  dalvorn::UseSystemLanguageWithQt();
  const auto platform = dalvorn::MakeOsPlatform();
  const auto power = dalvorn::MakeOsPowerGuard();
  dalvorn::DiskFirmwareImageFile image(dalvorn::BuiltInFirmwareKeys());
  dalvorn::QtWindowView window;
  // Devices plugged in or out while the window idles: without the system's notifications the
  // window looks only at its start.
  const auto monitor = dalvorn::MakeOsDeviceMonitor();
  if (monitor != nullptr && monitor->Descriptor() < 0) {
    std::cerr << "dalvorn-firmware-update: devices plugged in later are not seen ("
              << monitor->Error() << ")\n";
  }
  dalvorn::QtIdleWatch watch(monitor.get());
  const auto shell = dalvorn::MakeOsDesktopShell();
  return dalvorn::RunProgram(window, *platform, image, *power, watch, *shell);
}
