// The emulated runner over the Qt window: the real main window, device search, display and
// update over the emulated platform, driven by command-line options and recorded in a trace.
#pragma once

#include "runner_options.h"

class QApplication;

namespace dalvorn::emulator {

// Runs the window once as the options say and returns the program's exit status (or one of
// the runner's own statuses of runner_options.h, with the reason on standard error). `app` must
// have been set up with SetUpApplication.
int RunEmulated(const RunnerOptions& options, QApplication& app);

}  // namespace dalvorn::emulator
