// The desktop's services with every taskbar change and notification written to the trace: a
// `taskbar` line (`progress` with `value`, `state` with `state`) or a `notify` line (`title`,
// `body`), then the call passed on.
#pragma once

#include <string>

#include "device/desktop_shell.h"
#include "trace/trace_writer.h"

namespace dalvorn {

class TracingDesktopShell final : public DesktopShell {
 public:
  TracingDesktopShell(DesktopShell& inner, TraceWriter& trace) : inner_(inner), trace_(trace) {}

  void SetTaskbarState(TaskbarState state) override;
  void SetTaskbarProgress(int percent) override;
  void Notify(const std::string& title, const std::string& body) override;

 private:
  DesktopShell& inner_;
  TraceWriter& trace_;
};

}  // namespace dalvorn
