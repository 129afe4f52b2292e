// The system's notifications of HID interfaces arriving and leaving, for an event loop to wait
// on: a descriptor that becomes readable when notifications wait, and a read of them that never
// blocks. Where the system tells a window instead (Windows' WM_DEVICECHANGE), the window's own
// watch takes them and there is no monitor.
#pragma once

#include <memory>
#include <string>

namespace dalvorn {

class DeviceMonitor {
 public:
  virtual ~DeviceMonitor() = default;
  // Readable when notifications wait; -1 when the monitor could not be set up (Error says why).
  virtual int Descriptor() const = 0;
  // Reads every notification waiting, without blocking; returns how many told of a HID
  // interface arriving or leaving (others, and those that cannot be read, are dropped).
  virtual int TakeNotifications() = 0;
  // Why the monitor could not be set up; empty when it was.
  virtual std::string Error() const = 0;
};

// The operating system's monitor; null where the system has none.
std::unique_ptr<DeviceMonitor> MakeOsDeviceMonitor();

}  // namespace dalvorn
