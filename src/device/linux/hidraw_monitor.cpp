#include "device/linux/hidraw_monitor.h"

#include <libudev.h>

#include <cerrno>
#include <cstring>

#include "text/text_codec.h"

namespace dalvorn {

HidrawMonitor::HidrawMonitor() : udev_(udev_new()) {
  if (udev_ == nullptr) {
    error_ = std::string("udev_new: ") + ErrnoText(errno);
    return;
  }
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (monitor_ == nullptr) {
    error_ = std::string("udev_monitor_new_from_netlink: ") + ErrnoText(errno);
    return;
  }
  int result = udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr);
  if (result >= 0) result = udev_monitor_enable_receiving(monitor_);
  if (result < 0) {
    error_ = std::string("udev monitor: ") + ErrnoText(-result);
    udev_monitor_unref(monitor_);
    monitor_ = nullptr;
  }
}

HidrawMonitor::~HidrawMonitor() {
  if (monitor_ != nullptr) udev_monitor_unref(monitor_);
  if (udev_ != nullptr) udev_unref(udev_);
}

int HidrawMonitor::Descriptor() const {
  return monitor_ != nullptr ? udev_monitor_get_fd(monitor_) : -1;
}

int HidrawMonitor::TakeNotifications() {
  if (monitor_ == nullptr) return 0;
  int changes = 0;
  // The monitor's socket does not block: it returns null once nothing is left.
  while (udev_device* device = udev_monitor_receive_device(monitor_)) {
    const char* action = udev_device_get_action(device);
    if (action != nullptr &&
        (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0)) {
      ++changes;
    }
    udev_device_unref(device);
  }
  return changes;
}

std::unique_ptr<DeviceMonitor> MakeOsDeviceMonitor() {
  return std::make_unique<HidrawMonitor>();
}

}  // namespace dalvorn
