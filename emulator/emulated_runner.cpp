#include "emulator/emulated_runner.h"

#include <QApplication>
#include <QImage>
#include <QString>
#include <fstream>
#include <iostream>
#include <memory>

#include "emulator/emulated_platform.h"
#include "emulator/emulation_clock.h"
#include "emulator/scenario.h"
#include "emulator/trace_writer.h"
#include "emulator/tracing_image_file.h"
#include "emulator/tracing_window.h"
#include "ui/frm_main.h"
#include "ui/qt/qt_application.h"
#include "ui/qt/qt_window_view.h"
#include "update/firmware_image.h"

namespace dalvorn::emulator {

int RunEmulated(const RunnerOptions& options, QApplication& /*app*/) {
  Scenario scenario;
  try {
    scenario = options.scenarioPath ? LoadScenarioFile(*options.scenarioPath) : BuiltInScenario();
  } catch (const ScenarioError& e) {
    std::cerr << "dalvorn-firmware-update-emulated: " << e.what() << '\n';
    return ScenarioExitStatus;
  }
  std::unique_ptr<std::ofstream> traceFile;
  if (!options.tracePath.empty()) {
    traceFile = std::make_unique<std::ofstream>(options.tracePath, std::ios::trunc);
    if (!*traceFile) {
      std::cerr << "dalvorn-firmware-update-emulated: cannot write " << options.tracePath << '\n';
      return TraceExitStatus;
    }
  }

  EmulationClock clock(options.realTime);
  TraceWriter trace(traceFile.get(), clock);
  EmulatedPlatform platform(scenario, clock, trace, options.programDir);
  DiskFirmwareImageFile disk;
  TracingFirmwareImageFile image(disk, trace);
  QtWindowView qtWindow;
  // Nobody reads a message box unless a person watches in real time.
  qtWindow.SetMessageBoxesDismissed(!options.realTime);
  TracingWindowView view(qtWindow, trace);

  MainWindowHooks hooks;
  hooks.afterLoad = [&](QtWindowView& window, FrmMain& /*frm*/) {
    if (!options.screenshotPath.empty() &&
        !window.GrabClientArea().save(QString::fromStdString(options.screenshotPath), "PNG")) {
      std::cerr << "dalvorn-firmware-update-emulated: cannot write " << options.screenshotPath
                << '\n';
    }
    if (options.click) {
      PumpInjections injections;
      injections.closeAtPump = options.closeAtPump;
      injections.clickAtPump = options.clickAtPump;
      injections.close = [&window] { window.CloseAsCloseBox(); };
      injections.click = [&window] { window.ClickUpgradeButton(); };
      view.ArmPumpInjections(std::move(injections));
      window.ClickUpgradeButton();
      // A click that did nothing leaves the window loaded; nobody is there to close it.
      if (!window.Unloaded()) window.CloseAsCloseBox();
    } else if (options.closeAfterLoad) {
      window.CloseAsCloseBox();
    }
  };
  hooks.beforeTerminate = [&](QtWindowView&, FrmMain&) { trace.Window("terminate"); };

  const int exitCode = RunMainWindow(qtWindow, view, platform, image, hooks);
  platform.WriteFlashLine();
  trace.Exit(exitCode);
  return exitCode;
}

}  // namespace dalvorn::emulator
