#include "trace/tracing_idle_watch.h"

namespace dalvorn {

void TracingIdleWatch::Start(IdleWatchEvents& events, const std::string& folder) {
  events_ = &events;
  inner_.Start(*this, folder);
}

void TracingIdleWatch::Stop() {
  inner_.Stop();
  events_ = nullptr;
}

void TracingIdleWatch::DeviceInterfaceChanged() {
  if (events_ == nullptr) return;
  trace_.Window("device_change");
  events_->DeviceInterfaceChanged();
}

void TracingIdleWatch::ProgramFolderChanged() {
  if (events_ != nullptr) events_->ProgramFolderChanged();
}

void TracingIdleWatch::QuietTimeOver() {
  if (events_ != nullptr) events_->QuietTimeOver();
}

}  // namespace dalvorn
