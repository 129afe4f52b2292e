// The idle window's notifications with each device notification the window takes written to
// the trace, before the search it may cause.
#pragma once

#include <cstdint>
#include <string>

#include "trace/trace_writer.h"
#include "ui/idle_watch.h"

namespace dalvorn {

class TracingIdleWatch final : public IdleWatch, private IdleWatchEvents {
 public:
  TracingIdleWatch(IdleWatch& inner, TraceWriter& trace) : inner_(inner), trace_(trace) {}

  // The inner watch tells this object, which writes `window` `device_change` for each HID
  // interface change and passes every call on to `events`.
  void Start(IdleWatchEvents& events, const std::string& folder) override;
  void Stop() override;
  void StartQuietTimer(std::uint32_t milliseconds) override {
    inner_.StartQuietTimer(milliseconds);
  }

 private:
  void DeviceInterfaceChanged() override;
  void ProgramFolderChanged() override;
  void QuietTimeOver() override;

  IdleWatch& inner_;
  TraceWriter& trace_;
  IdleWatchEvents* events_ = nullptr;
};

}  // namespace dalvorn
