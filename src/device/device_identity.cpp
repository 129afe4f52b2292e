#include "device/device_identity.h"

#include <array>

#include "device/device_count.h"

namespace dalvorn {
namespace {

// A USB string descriptor holds at most 126 UTF-16 units; with the terminator, 254 bytes.
constexpr std::uint32_t SerialQueryLength = 254;

}  // namespace

std::vector<std::uint8_t> ReadSerialNumber(HidPlatform& platform, Handle handle) {
  std::array<std::uint8_t, SerialQueryLength> buffer{};
  if (platform.HidD_GetSerialNumberString(handle, buffer.data(), SerialQueryLength) == 0) return {};
  std::size_t end = 0;
  while (end + 1 < buffer.size() && (buffer[end] != 0 || buffer[end + 1] != 0)) end += 2;
  return {buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(end)};
}

void NoteDeviceIdentity(DeviceSession& s, HidPlatform& platform) {
  s.NotedDevice.noted = true;
  s.NotedDevice.location = s.DeviceLocation;
  s.NotedDevice.serial = ReadSerialNumber(platform, s.DeviceHandle);
}

DeviceMatch MatchNotedDevice(DeviceSession& s, HidPlatform& platform) {
  const DeviceIdentity& noted = s.NotedDevice;
  if (!noted.noted) return DeviceMatch::Same;
  const bool located = !s.DeviceLocation.empty();
  if (!noted.location.empty() && located) {
    return s.DeviceLocation == noted.location ? DeviceMatch::Same : DeviceMatch::Other;
  }
  if (!noted.serial.empty()) {
    const std::vector<std::uint8_t> serial = ReadSerialNumber(platform, s.DeviceHandle);
    if (!serial.empty()) return serial == noted.serial ? DeviceMatch::Same : DeviceMatch::Other;
    // A device with no serial number is another; one that left during the query tells nothing.
    HiddAttributes attributes;
    attributes.Size = HiddAttributesSize;
    return platform.HidD_GetAttributes(s.DeviceHandle, attributes) != 0 ? DeviceMatch::Other
                                                                        : DeviceMatch::Gone;
  }
  // A device at a location is not one the system could not place, nor the other way round.
  if (!noted.location.empty() || located) return DeviceMatch::Other;
  return CountDevicesOfTheKind(platform) <= 1 ? DeviceMatch::Same : DeviceMatch::Other;
}

}  // namespace dalvorn
