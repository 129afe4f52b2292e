#include "emulator/win32/win32_runner.h"

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
#include "ui/win32/png_writer.h"
#include "ui/win32/win32_application.h"
#include "ui/win32/win32_window_view.h"
#include "update/firmware_image.h"

namespace dalvorn::emulator {

int RunEmulatedWin32(const RunnerOptions& options) {
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
  Win32WindowView window;
  // Nobody reads a message box unless a person watches in real time.
  window.SetMessageBoxesDismissed(!options.realTime);
  TracingWindowView view(window, trace);

  Win32MainWindowHooks hooks;
  hooks.afterLoad = [&](Win32WindowView& w, FrmMain& /*frm*/) {
    if (!options.screenshotPath.empty()) {
      const ClientImage shot = w.GrabClientArea();
      if (!win32::WritePng(options.screenshotPath, shot.width, shot.height, shot.pixels)) {
        std::cerr << "dalvorn-firmware-update-emulated: cannot write " << options.screenshotPath
                  << '\n';
      }
    }
    if (options.click) {
      PumpInjections injections;
      injections.closeAtPump = options.closeAtPump;
      injections.clickAtPump = options.clickAtPump;
      injections.close = [&w] { w.CloseAsCloseBox(); };
      injections.click = [&w] { w.ClickUpgradeButton(); };
      view.ArmPumpInjections(std::move(injections));
      w.ClickUpgradeButton();
      // A click that did nothing leaves the window loaded; nobody is there to close it.
      if (!w.Unloaded()) w.CloseAsCloseBox();
    } else if (options.closeAfterLoad) {
      w.CloseAsCloseBox();
    }
  };
  hooks.beforeTerminate = [&](Win32WindowView&, FrmMain&) { trace.Window("terminate"); };

  const int exitCode = RunMainWindow(window, view, platform, image, hooks);
  platform.WriteFlashLine();
  trace.Exit(exitCode);
  return exitCode;
}

}  // namespace dalvorn::emulator
