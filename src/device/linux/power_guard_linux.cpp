// The power service on Linux, over the system bus with sd-bus: a systemd-logind inhibitor lock
// holds off sleep, idle suspend and shutdown for as long as its file descriptor stays open;
// UPower tells whether the machine runs on its battery and how much charge is left.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

#include <systemd/sd-bus.h>

#include "dalvorn/product_version.h"  // ApplicationName
#include "device/linux/sd_bus_handles.h"
#include "device/power_guard.h"

namespace dalvorn {
namespace {

constexpr const char* LoginService = "org.freedesktop.login1";
constexpr const char* LoginPath = "/org/freedesktop/login1";
constexpr const char* LoginManager = "org.freedesktop.login1.Manager";
constexpr const char* InhibitWhat = "sleep:idle:shutdown";

constexpr const char* PowerService = "org.freedesktop.UPower";
constexpr const char* PowerPath = "/org/freedesktop/UPower";
constexpr const char* PowerDevice = "org.freedesktop.UPower.Device";

// A bus that does not answer must not hold the click for long.
constexpr std::uint64_t CallTimeoutMicroseconds = 10'000'000;

struct BusError {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  BusError() = default;
  BusError(const BusError&) = delete;
  BusError& operator=(const BusError&) = delete;
  ~BusError() { sd_bus_error_free(&error); }

  // The bus's own message when it gave one, the errno text of `result` otherwise.
  std::string Text(int result) const {
    if (error.message != nullptr) return error.message;
    return std::system_category().message(-result);
  }
};

class LinuxPowerGuard final : public PowerGuard {
 public:
  LinuxPowerGuard() = default;
  LinuxPowerGuard(const LinuxPowerGuard&) = delete;
  LinuxPowerGuard& operator=(const LinuxPowerGuard&) = delete;
  ~LinuxPowerGuard() override { Release(); }

  bool Hold() override {
    if (lock_ >= 0) return true;
    BusError error;
    sd_bus_message* reply = nullptr;
    int result = Connect();
    if (result >= 0) {
      const std::string who = Tr(ApplicationName);
      const std::string why = Tr(PowerHoldReason);
      result = sd_bus_call_method(bus_.get(), LoginService, LoginPath, LoginManager, "Inhibit",
                                  &error.error, &reply, "ssss", InhibitWhat, who.c_str(),
                                  why.c_str(), "block");
    }
    const Message owned(reply);
    int fd = -1;
    if (result >= 0) result = sd_bus_message_read(reply, "h", &fd);
    // The descriptor belongs to the reply: the lock is a copy of it, kept until Release.
    if (result >= 0) {
      lock_ = fcntl(fd, F_DUPFD_CLOEXEC, 3);
      if (lock_ < 0) result = -errno;
    }
    if (result < 0) {
      std::cerr << "dalvorn-firmware-update: sleep and shutdown are not held off during the "
                   "update: "
                << error.Text(result) << '\n';
      return false;
    }
    return true;
  }

  void Release() override {
    if (lock_ < 0) return;
    close(lock_);
    lock_ = -1;
  }

  // UPower's display device stands for all the batteries together; with none present, or no
  // UPower at all, the charge is not known.
  BatteryState Battery() override {
    BatteryState state;
    if (Connect() < 0) return state;
    int onBattery = 0;
    if (!Property(PowerPath, PowerService, "OnBattery", 'b', &onBattery)) return state;
    BusError error;
    sd_bus_message* reply = nullptr;
    const int result = sd_bus_call_method(bus_.get(), PowerService, PowerPath, PowerService,
                                          "GetDisplayDevice", &error.error, &reply, "");
    const Message owned(reply);
    const char* device = nullptr;
    if (result < 0 || sd_bus_message_read(reply, "o", &device) < 0) return state;
    const std::string devicePath(device);
    int present = 0;
    double percentage = 0;
    if (!Property(devicePath.c_str(), PowerDevice, "IsPresent", 'b', &present) || !present ||
        !Property(devicePath.c_str(), PowerDevice, "Percentage", 'd', &percentage) ||
        !(percentage >= 0 && percentage <= 100)) {
      return state;
    }
    state.known = true;
    state.onBattery = onBattery != 0;
    state.percentage = static_cast<int>(std::floor(percentage));
    return state;
  }

 private:
  // Opens the system bus once, at the first use.
  int Connect() {
    if (bus_) return 0;
    sd_bus* bus = nullptr;
    const int result = sd_bus_open_system(&bus);
    if (result < 0) return result;
    bus_.reset(bus);
    sd_bus_set_method_call_timeout(bus, CallTimeoutMicroseconds);
    return 0;
  }

  bool Property(const char* path, const char* interface, const char* name, char type, void* value) {
    BusError error;
    return sd_bus_get_property_trivial(bus_.get(), PowerService, path, interface, name,
                                       &error.error, type, value) >= 0;
  }

  Bus bus_;
  int lock_ = -1;
};

}  // namespace

std::unique_ptr<PowerGuard> MakeOsPowerGuard(void* /*window*/) {
  return std::make_unique<LinuxPowerGuard>();
}

}  // namespace dalvorn
