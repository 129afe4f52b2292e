#include "trace/tracing_desktop_shell.h"

namespace dalvorn {

void TracingDesktopShell::SetTaskbarState(TaskbarState state) {
  trace_.Taskbar("state", TraceFields{{"state", TaskbarStateName(state)}});
  inner_.SetTaskbarState(state);
}

void TracingDesktopShell::SetTaskbarProgress(int percent) {
  trace_.Taskbar("progress", TraceFields{{"value", percent}});
  inner_.SetTaskbarProgress(percent);
}

void TracingDesktopShell::Notify(const std::string& title, const std::string& body) {
  trace_.Notify(TraceFields{{"title", title}, {"body", body}});
  inner_.Notify(title, body);
}

}  // namespace dalvorn
