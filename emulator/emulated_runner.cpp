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
namespace {

bool ReadCount(const std::string& option, const std::string& text, int& into, std::string& error) {
  std::size_t used = 0;
  int value = 0;
  try {
    value = std::stoi(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || value < 1) {
    error = option + " needs a whole number from 1 on, not \"" + text + "\"";
    return false;
  }
  into = value;
  return true;
}

}  // namespace

std::string RunnerUsage() {
  return "usage: dalvorn-firmware-update-emulated [SCENARIO.json] [options]\n"
         "  --program-dir DIR     the folder that stands for the executable's folder\n"
         "  --trace FILE          write the trace to FILE\n"
         "  --click               click the upgrade button once the window has loaded\n"
         "  --close-after-load    close the window once it has loaded (without --click)\n"
         "  --close-at-pump N     close the window at the N-th event pump after the click\n"
         "  --click-at-pump N     click the upgrade button again at the N-th event pump\n"
         "  --screenshot FILE     save a PNG of the window once it has loaded\n"
         "  --real-time           pauses really wait; the device follows the wall clock\n";
}

bool ParseRunnerOptions(const std::vector<std::string>& arguments, const std::string& ownFolder,
                        RunnerOptions& options, std::string& error) {
  options = RunnerOptions{};
  options.programDir = ownFolder;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    const auto value = [&](std::string& into) {
      if (i + 1 >= arguments.size()) {
        error = arg + " needs a value";
        return false;
      }
      into = arguments[++i];
      return true;
    };
    std::string text;
    if (arg == "--program-dir") {
      if (!value(options.programDir)) return false;
    } else if (arg == "--trace") {
      if (!value(options.tracePath)) return false;
    } else if (arg == "--screenshot") {
      if (!value(options.screenshotPath)) return false;
    } else if (arg == "--click") {
      options.click = true;
    } else if (arg == "--close-after-load") {
      options.closeAfterLoad = true;
    } else if (arg == "--real-time") {
      options.realTime = true;
    } else if (arg == "--close-at-pump") {
      if (!value(text) || !ReadCount(arg, text, options.closeAtPump, error)) return false;
    } else if (arg == "--click-at-pump") {
      if (!value(text) || !ReadCount(arg, text, options.clickAtPump, error)) return false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else if (options.scenarioPath) {
      error = "more than one scenario file: " + arg;
      return false;
    } else {
      options.scenarioPath = arg;
    }
  }
  return true;
}

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
