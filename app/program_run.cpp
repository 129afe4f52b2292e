#include "program_run.h"

#include "trace/program_trace.h"
#include "trace/tracing_window.h"

namespace dalvorn {

int RunProgram(WindowView& window, HidPlatform& platform, FirmwareImageFile& image,
               PowerGuard& power, const MainWindowRun& run) {
  const auto tracePath = TracePathFromEnvironment();
  if (tracePath.empty()) return run(window, platform, image, power, {});

  ProgramTrace trace(tracePath, platform, image, power);
  if (!trace.Opened()) return run(window, platform, image, power, {});
  TracingWindowView view(window, trace.Writer());
  MainWindowHooks hooks;
  hooks.beforeTerminate = [&trace] { trace.Writer().Window("terminate"); };
  return trace.Finish(run(view, trace.Platform(), trace.Image(), trace.Power(), hooks));
}

}  // namespace dalvorn
