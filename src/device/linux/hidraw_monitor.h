// HID interfaces arriving and leaving on Linux: a libudev monitor of the udev daemon's events
// (sent once udev has made the node and given it its permissions), filtered on the hidraw
// subsystem.
#pragma once

#include <string>

#include "device/device_monitor.h"

struct udev;
struct udev_monitor;

namespace dalvorn {

class HidrawMonitor final : public DeviceMonitor {
 public:
  HidrawMonitor();
  ~HidrawMonitor() override;
  HidrawMonitor(const HidrawMonitor&) = delete;
  HidrawMonitor& operator=(const HidrawMonitor&) = delete;

  int Descriptor() const override;
  // Counts the hidraw nodes added and removed; other actions (change, bind...) are dropped.
  int TakeNotifications() override;
  std::string Error() const override { return error_; }

 private:
  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  std::string error_;
};

}  // namespace dalvorn
