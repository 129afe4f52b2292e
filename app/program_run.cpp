#include "program_run.h"

#include "trace/program_trace.h"
#include "trace/tracing_desktop_shell.h"
#include "trace/tracing_idle_watch.h"
#include "trace/tracing_window.h"

namespace dalvorn {

int RunProgram(WindowView& window, HidPlatform& platform, FirmwareImageFile& image,
               PowerGuard& power, IdleWatch& watch, DesktopShell& shell, const MainWindowRun& run) {
  const auto tracePath = TracePathFromEnvironment();
  if (tracePath.empty()) return run(window, platform, image, power, watch, shell, {});

  ProgramTrace trace(tracePath, platform, image, power);
  if (!trace.Opened()) return run(window, platform, image, power, watch, shell, {});
  TracingWindowView view(window, trace.Writer());
  TracingIdleWatch tracedWatch(watch, trace.Writer());
  TracingDesktopShell tracedShell(shell, trace.Writer());
  MainWindowHooks hooks;
  hooks.beforeTerminate = [&trace] { trace.Writer().Window("terminate"); };
  return trace.Finish(
      run(view, trace.Platform(), trace.Image(), trace.Power(), tracedWatch, tracedShell, hooks));
}

}  // namespace dalvorn
