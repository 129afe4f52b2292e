#include "emulated_run.h"

#include <exception>
#include <fstream>
#include <iostream>
#include <utility>

#include "emulated_idle_watch.h"
#include "emulated_platform.h"
#include "emulated_power.h"
#include "emulation_clock.h"
#include "message_box_gate.h"
#include "pump_injections.h"
#include "run_time_limit.h"
#include "scenario.h"
#include "trace/trace_file.h"
#include "trace/trace_writer.h"
#include "trace/tracing_desktop_shell.h"
#include "trace/tracing_idle_watch.h"
#include "trace/tracing_image_file.h"
#include "trace/tracing_power_guard.h"
#include "trace/tracing_window.h"

namespace dalvorn::emulator {
namespace {

constexpr const char* kName = "dalvorn-firmware-update-emulated: ";

// The --trace file, opened as the program opens its own (trace/trace_file.h): never the image
// in the program folder nor its signature, never blocking. The first line that cannot be
// written is told at once and ends the trace; the run goes on to its end.
class RunnerTraceFile {
 public:
  explicit RunnerTraceFile(const RunnerOptions& options)
      : path_(options.tracePath), stream_(file_) {
    std::string error;
    if (path_.empty() || file_.Open(PathFromUtf8(path_),
                                    FirmwareFiles(FirmwareImagePath(options.programDir)), error)) {
      return;
    }
    std::cerr << kName << "cannot write the trace " << path_ << " (" << error << ")\n";
    opened_ = false;
  }

  // False when a trace was asked for and could not be opened.
  bool Opened() const { return opened_; }
  std::ostream* Stream() { return file_.IsOpen() ? &stream_ : nullptr; }
  void TellFailuresOf(TraceWriter& trace) {
    trace.SetOnFailure([this] { Tell(stream_.Error()); });
  }
  // Closes the file; false when the trace is not whole.
  bool Close(const TraceWriter& trace) {
    if (!file_.IsOpen()) return true;
    std::string error;
    if (!file_.Close(error)) Tell(error);
    return !told_ && !trace.Failed();
  }

 private:
  void Tell(const std::string& reason) {
    if (told_) return;
    told_ = true;
    std::cerr << kName << "writing the trace " << path_ << " failed (" << reason
              << "); the run goes on without it\n";
  }

  std::string path_;
  TraceFile file_;
  TraceFileStream stream_;
  bool opened_ = true;
  bool told_ = false;
};

// The scenario the options name, or the built-in one; false, told on stderr, when it cannot be
// read.
bool LoadRunnerScenario(const RunnerOptions& options, Scenario& scenario) {
  try {
    scenario = options.scenarioPath ? LoadScenarioFile(*options.scenarioPath) : BuiltInScenario();
    return true;
  } catch (const ScenarioError& e) {
    std::cerr << kName << e.what() << '\n';
  } catch (const std::exception& e) {
    std::cerr << kName << options.scenarioPath.value_or("the built-in scenario")
              << ": cannot be read: " << e.what() << '\n';
  }
  return false;
}

// What the runner does once the window has loaded: the idle time, the screenshot, then the click
// (with the clicks and closes the options put at later event pumps) or, unwatched, the close box.
void ActAfterLoad(const RunnerOptions& options, RunnerWindow& window, PumpInjectingView& view,
                  EmulatedIdleWatch& watch) {
  // The window's own events, untraced: in real time it stays live while it idles.
  watch.Idle(options.idleMs, [&window] { window.View().PumpEvents(); });
  if (!options.screenshotPath.empty() && !window.SaveScreenshot(options.screenshotPath)) {
    std::cerr << kName << "cannot write " << options.screenshotPath << '\n';
  }
  if (options.click) {
    PumpInjections injections;
    injections.closeAtPump = options.closeAtPump;
    injections.clickAtPump = options.clickAtPump;
    injections.close = [&window] { window.CloseAsCloseBox(); };
    injections.click = [&window] { window.ClickUpgradeButton(); };
    view.Arm(std::move(injections));
    window.ClickUpgradeButton();
    // A click that did nothing leaves the window loaded; nobody is there to close it.
    if (!window.Unloaded()) window.CloseAsCloseBox();
  } else if (options.closeAfterLoad || !options.realTime) {
    // Only a person watching in real time closes the window by hand.
    window.CloseAsCloseBox();
  }
}

}  // namespace

int RunEmulatedIn(const RunnerOptions& options,
                  const std::function<std::unique_ptr<RunnerWindow>()>& makeWindow) {
  Scenario scenario;
  if (!LoadRunnerScenario(options, scenario)) return ScenarioExitStatus;
  FirmwareKeys keys;
  if (std::string error; !RunnerPublicKeys(options, keys, error)) {
    std::cerr << kName << error << '\n';
    return PublicKeyExitStatus;
  }
  RunnerTraceFile traceFile(options);
  if (!traceFile.Opened()) return TraceExitStatus;

  EmulationClock clock(options.realTime);
  TraceWriter trace(traceFile.Stream(), clock);
  traceFile.TellFailuresOf(trace);
  EmulatedPlatform platform(scenario, clock, trace, options.programDir);
  EmulatedPowerGuard scenarioPower(scenario.power);
  TracingPowerGuard power(scenarioPower, trace);
  DiskFirmwareImageFile disk(std::move(keys));
  TracingFirmwareImageFile image(disk, trace);
  const std::unique_ptr<RunnerWindow> window = makeWindow();
  // Nobody reads a message box unless a person watches in real time: it is traced, and shown
  // only then.
  MessageBoxGate gate(window->View());
  gate.SetDismissed(!options.realTime);
  TracingWindowView traced(gate, trace);
  PumpInjectingView injecting(traced);
  TimeLimitedView view(injecting, clock, RunTimeLimitMs);
  view.SetClose([&window] { window->CloseAsCloseBox(); });
  EmulatedIdleWatch watch(scenario, clock, options.programDir);
  TracingIdleWatch tracedWatch(watch, trace);
  // The emulated desktop: its taskbar and notifications are the trace's lines, whatever window.
  TracingDesktopShell shell(NoDesktopService(), trace);

  MainWindowHooks hooks;
  hooks.afterLoad = [&] { ActAfterLoad(options, *window, injecting, watch); };
  hooks.beforeTerminate = [&] { trace.Window("terminate"); };

  int exitCode = window->Run(view, platform, image, hooks, power, tracedWatch, shell);
  if (view.Reached()) {
    std::cerr << kName << "the run was still going after " << RunTimeLimitMs / 3600000
              << " hours on its clock (a device that never comes back?): its window was closed\n";
    exitCode = RunTimeLimitExitStatus;
  }
  platform.WriteFlashLine();
  trace.Exit(exitCode);
  // A trace cut short (a full disk, a reader gone) must not pass for a whole one.
  if (!traceFile.Close(trace)) return TraceExitStatus;
  return exitCode;
}

}  // namespace dalvorn::emulator
