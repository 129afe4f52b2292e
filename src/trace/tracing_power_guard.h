// The power service with every question the update asks and every hold it takes or lets go
// written to the trace as a `power` line, on the trace's clock: the same lines whether the
// service is the operating system's or the emulated host's.
#pragma once

#include "device/power_guard.h"
#include "trace/trace_writer.h"

namespace dalvorn {

class TracingPowerGuard final : public PowerGuard {
 public:
  TracingPowerGuard(PowerGuard& inner, TraceWriter& trace) : inner_(inner), trace_(trace) {}

  // `hold` with `result`.
  bool Hold() override;
  // `release`, only when a hold was taken and not let go yet (a release of nothing does
  // nothing, and writes nothing).
  void Release() override;
  // `battery` with `on_battery` and `percentage`, or `known: false`.
  BatteryState Battery() override;

 private:
  PowerGuard& inner_;
  TraceWriter& trace_;
  bool held_ = false;
};

}  // namespace dalvorn
