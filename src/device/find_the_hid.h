// The device search: walks the host's present HID interfaces and opens the first that is
// the device, in either of its modes.
#pragma once

#include "device/device_session.h"
#include "device/hid_platform.h"

namespace dalvorn {

// True when the device was found; it is then open with DeviceHandle (synchronous) and
// OverlappedHandle (string queries), and DeviceAttrs, DevicePath and DeviceCaps describe it.
// The search is what sets session.DeviceFound: it holds the same result afterwards, so a
// caller reads either. Handles left open by an earlier search are not closed here.
bool FindTheHid(DeviceSession& session, HidPlatform& platform);

// Reads the capabilities of the device open on DeviceHandle into DeviceCaps. When the
// preparsed data cannot be obtained, DeviceCaps keeps its earlier value.
void ReadDeviceCapabilities(DeviceSession& session, HidPlatform& platform);

// True when the attributes name the device in application or bootloader mode.
bool IsDeviceIdentity(std::uint16_t vendorId, std::uint16_t productId);

}  // namespace dalvorn
