// The emulated runner over the native Win32 window: the same options, trace and exit status
// as the runner over Qt.
#pragma once

#include "runner_options.h"

namespace dalvorn::emulator {

// Runs the window once as the options say and returns the program's exit status (or one of
// the runner's own statuses, with the reason on standard error).
int RunEmulatedWin32(const RunnerOptions& options);

}  // namespace dalvorn::emulator
