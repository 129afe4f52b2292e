// A small model of the device for the Linux fixtures (umockdev and the uhid VM): its two
// modes, the bootloader's status report, unlock and flash. The transport serving it (an ioctl
// handler or /dev/uhid) re-creates the interface when the model says the device switches.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/device_codes.h"

namespace dalvorn::linuxtest {

inline constexpr std::size_t ModelRecordSize = 40;

// Vendor-defined collection with one 40-byte feature report and no report IDs, so the
// feature report is 41 bytes with its report-ID byte.
inline constexpr std::array<std::uint8_t, 21> ModelReportDescriptor = {
    0x06, 0x00, 0xFF,  // Usage Page (vendor 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x09, 0x02,        //   Usage (2)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x28,        //   Report Count (40)
    0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
    0xC0,              // End Collection
};
inline constexpr std::uint16_t ModelFeatureReportLength = 41;

enum class ModelMode { App, Boot };

// What the transport must do after a call into the model. Unplug: the device is gone from the
// bus in the middle of the request, which fails as the kernel fails it (ENODEV).
enum class ModelAction { None, ReappearAsBoot, ReappearAsApp, Unplug };

class HidDeviceModel {
 public:
  explicit HidDeviceModel(ModelMode mode = ModelMode::App) : mode_(mode) {}

  ModelMode Mode() const { return mode_; }
  std::uint16_t ProductId() const;
  // bcdDevice in each mode; the application's rises once it has been updated.
  std::uint16_t Version() const;

  // A feature report from the host, report-ID byte first. False when it is refused.
  bool SetFeature(std::span<const std::uint8_t> report, ModelAction& action);
  // Fills a feature report for the host, report-ID byte first.
  void GetFeature(std::span<std::uint8_t> report);
  // The host closed its last handle.
  ModelAction AllHandlesClosed();
  // The transport has re-created the interface as the action asked.
  void Reappeared(ModelAction action);

  void SetStatus(std::uint8_t first, std::uint8_t second) { status_ = {first, second}; }
  // The 1-based number, counted from now, of the data block the bootloader refuses; 0 refuses
  // none.
  void RefuseBlock(std::uint32_t block) {
    refuseBlock_ = block;
    blocks_ = 0;
  }
  // The same count: the data block during which the device is unplugged; 0 for none.
  void UnplugAtBlock(std::uint32_t block) {
    unplugBlock_ = block;
    blocks_ = 0;
  }
  const std::vector<std::uint8_t>& Flash() const { return flash_; }
  bool Unlocked() const { return unlocked_; }
  int Switches() const { return switches_; }
  int Restarts() const { return restarts_; }

 private:
  ModelMode mode_;
  std::array<std::uint8_t, 2> status_ = {0, 1};
  bool statusRead_ = false;
  bool unlocked_ = false;
  bool updated_ = false;
  int switches_ = 0;
  int restarts_ = 0;
  std::uint32_t blocks_ = 0;
  std::uint32_t refuseBlock_ = 0;
  std::uint32_t unplugBlock_ = 0;
  std::vector<std::uint8_t> flash_;
};

}  // namespace dalvorn::linuxtest
