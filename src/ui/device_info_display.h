// The four value labels: manufacturer, product, version and serial number of the device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/device_session.h"
#include "device/hid_platform.h"
#include "ui/window_view.h"

namespace dalvorn {

// Byte length given to each string query.
inline constexpr std::uint32_t StringQueryLength = 100;

// The product's name and the version as their labels show them, without the labels' margin.
struct DeviceShown {
  std::string product;
  std::string version;
};

// Refreshes the value labels from the session: the device's strings and version when
// DeviceFound, blanks otherwise. A failed string query leaves its label as it was. `shown`
// follows the product and version labels.
void ShowDeviceInfo(DeviceSession& session, HidPlatform& platform, WindowView& view,
                    DeviceShown& shown);

// " major.minor": the high byte in decimal, the low byte in upper-case hexadecimal.
std::string VersionText(std::uint16_t versionNumber);

}  // namespace dalvorn
