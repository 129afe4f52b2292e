// The device model served as a real HID device through /dev/uhid, on a thread of its own: it is
// re-created with the bootloader's product ID when it switches and with the application's when
// it restarts, at once or, for a device slow to leave, some time later, answering in its old
// mode until then.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hid_device_model.h"

struct uhid_event;

namespace dalvorn::linuxtest {

// What the host did to the device, for the guest to check.
struct UhidTraffic {
  std::vector<std::chrono::steady_clock::time_point> reportsSet;  // when each arrived
  int reportsSetInApp = 0;  // feature reports set while the device was in application mode
  int reportsGot = 0;       // feature reports asked for, in either mode
  // Times the host opened it while it was on its way out, in application mode (to its
  // bootloader) and in bootloader mode (to restart).
  int opensLeavingApp = 0;
  int opensLeavingBoot = 0;
};

class UhidDevice {
 public:
  // `serial` is the device's HID_UNIQ. `toBootloader` is how long it stays on the bus, in
  // application mode, after the bootloader-entry message; `toRestart` how long it stays in its
  // bootloader after the host closed it, once it has been sent its data.
  UhidDevice(ModelMode mode, std::string serial,
             std::chrono::milliseconds toBootloader = std::chrono::milliseconds(0),
             std::chrono::milliseconds toRestart = std::chrono::milliseconds(0));
  UhidDevice(const UhidDevice&) = delete;
  UhidDevice& operator=(const UhidDevice&) = delete;
  ~UhidDevice();

  // Creates the device and starts serving it; false when /dev/uhid refuses.
  bool Start();
  // Stops serving and destroys the device; false when serving failed on the way.
  bool Stop();

  HidDeviceModel Model();
  UhidTraffic Traffic();
  void RefuseBlock(std::uint32_t block);
  // Called once, on the serving thread, at the device's first switch: while it is off the bus
  // (what is created then may take the node numbers it had), or once it is back. Set before
  // Start.
  void AtFirstSwitch(bool whileAway, std::function<void()> call) {
    atFirstSwitchAway_ = whileAway;
    atFirstSwitch_ = std::move(call);
  }

 private:
  bool Create();
  void Destroy();
  void Serve();
  bool Write(const uhid_event& ev);
  bool Handle(const uhid_event& in, ModelAction& action);
  // Leaves the bus and comes back as `action` says.
  bool Switch(ModelAction action);

  std::mutex mutex_;
  HidDeviceModel model_;
  UhidTraffic traffic_;
  std::string serial_;
  std::chrono::milliseconds toBootloader_;
  std::chrono::milliseconds toRestart_;
  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<bool> served_{true};
  std::thread server_;
  std::function<void()> atFirstSwitch_;
  bool atFirstSwitchAway_ = false;
};

}  // namespace dalvorn::linuxtest
