// The steps that every walk over the host's HID interfaces shares: the device search and the
// count of the devices of the kind.
#pragma once

#include "device/device_session.h"
#include "device/hid_platform.h"

namespace dalvorn {

// Starts a walk: the Security record both opens take, the HID class into `hidGuid`, and the
// set of present interfaces into Search.DeviceInfoSet.
void StartInterfaceWalk(DeviceSession& session, HidPlatform& platform, Guid& hidGuid);

// Reads the detail record of the interface in Search.InterfaceData into DetailDataBuffer and
// DevicePath. False when the interface vanished before its size could be known.
bool ReadInterfacePath(DeviceSession& session, HidPlatform& platform);

// Opens DevicePath for reading and writing, shared, with `flags` (0 or FileFlagOverlapped).
Handle OpenInterface(DeviceSession& session, HidPlatform& platform, std::uint32_t flags);

}  // namespace dalvorn
