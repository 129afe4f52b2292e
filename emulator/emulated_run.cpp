#include "emulator/emulated_run.h"

#include <exception>
#include <fstream>
#include <iostream>

#include "emulator/emulated_platform.h"
#include "emulator/emulation_clock.h"
#include "emulator/message_box_gate.h"
#include "emulator/scenario.h"
#include "trace/trace_writer.h"
#include "trace/tracing_image_file.h"
#include "trace/tracing_window.h"

namespace dalvorn::emulator {
namespace {

constexpr const char* kName = "dalvorn-firmware-update-emulated: ";

}  // namespace

int RunEmulatedIn(const RunnerOptions& options,
                  const std::function<std::unique_ptr<RunnerWindow>()>& makeWindow) {
  Scenario scenario;
  try {
    scenario = options.scenarioPath ? LoadScenarioFile(*options.scenarioPath) : BuiltInScenario();
  } catch (const ScenarioError& e) {
    std::cerr << kName << e.what() << '\n';
    return ScenarioExitStatus;
  } catch (const std::exception& e) {
    std::cerr << kName << options.scenarioPath.value_or("the built-in scenario")
              << ": cannot be read: " << e.what() << '\n';
    return ScenarioExitStatus;
  }
  std::unique_ptr<std::ofstream> traceFile;
  if (!options.tracePath.empty()) {
    traceFile = std::make_unique<std::ofstream>(PathFromUtf8(options.tracePath),
                                                std::ios::trunc | std::ios::binary);
    if (!*traceFile) {
      std::cerr << kName << "cannot write the trace " << options.tracePath << '\n';
      return TraceExitStatus;
    }
  }

  EmulationClock clock(options.realTime);
  TraceWriter trace(traceFile.get(), clock);
  EmulatedPlatform platform(scenario, clock, trace, options.programDir);
  DiskFirmwareImageFile disk;
  TracingFirmwareImageFile image(disk, trace);
  const std::unique_ptr<RunnerWindow> window = makeWindow();
  // Nobody reads a message box unless a person watches in real time: it is traced, and shown
  // only then.
  MessageBoxGate gate(window->View());
  gate.SetDismissed(!options.realTime);
  TracingWindowView view(gate, trace);

  const auto afterLoad = [&] {
    if (!options.screenshotPath.empty() && !window->SaveScreenshot(options.screenshotPath)) {
      std::cerr << kName << "cannot write " << options.screenshotPath << '\n';
    }
    if (options.click) {
      PumpInjections injections;
      injections.closeAtPump = options.closeAtPump;
      injections.clickAtPump = options.clickAtPump;
      injections.close = [&window] { window->CloseAsCloseBox(); };
      injections.click = [&window] { window->ClickUpgradeButton(); };
      view.ArmPumpInjections(std::move(injections));
      window->ClickUpgradeButton();
      // A click that did nothing leaves the window loaded; nobody is there to close it.
      if (!window->Unloaded()) window->CloseAsCloseBox();
    } else if (options.closeAfterLoad || !options.realTime) {
      // Only a person watching in real time closes the window by hand.
      window->CloseAsCloseBox();
    }
  };
  MainWindowHooks hooks;
  hooks.afterLoad = afterLoad;
  hooks.beforeTerminate = [&] { trace.Window("terminate"); };

  const int exitCode = window->Run(view, platform, image, hooks);
  platform.WriteFlashLine();
  trace.Exit(exitCode);
  if (traceFile) {
    traceFile->close();
    // A trace cut short (a full disk) must not pass for a whole one.
    if (trace.Failed() || traceFile->fail()) {
      std::cerr << kName << "writing the trace " << options.tracePath << " failed\n";
      return TraceExitStatus;
    }
  }
  return exitCode;
}

}  // namespace dalvorn::emulator
