// The desktop's services on Windows, with a log of the system calls they make (each call's
// name, its argument and its result), for a test under Wine to compare.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "device/desktop_shell.h"

namespace dalvorn {

// `window` is the main window's HWND. `log`, when given, hears one line a call, such as
// "SetProgressState TBPF_INDETERMINATE 0x00000000".
std::unique_ptr<DesktopShell> MakeWindowsDesktopShell(void* window,
                                                      std::function<void(const std::string&)> log);

}  // namespace dalvorn
