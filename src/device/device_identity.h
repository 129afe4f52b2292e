// Telling the device being updated from another device of its kind: by where it is plugged in,
// which it keeps when it re-enumerates in its other mode, or else by its serial number.
#pragma once

#include <cstdint>
#include <vector>

#include "device/device_session.h"
#include "device/hid_platform.h"

namespace dalvorn {

// Notes who the device found by the last search is: its location, and its serial number read
// on DeviceHandle. From then on every search of the session takes only that device.
void NoteDeviceIdentity(DeviceSession& session, HidPlatform& platform);

enum class DeviceMatch {
  Same,   // the noted device
  Other,  // another device of the kind
  Gone,   // it left before it could be told
};

// Whether the interface open on DeviceHandle, at DeviceLocation, is the noted device (any device
// is, while none is noted): the same location when both have one; else the same serial number
// when the noted device has one (a device still there without one is another); else another
// when only one of them has a location; else, with nothing to tell them apart, the same when it
// is the only device of the kind on the host (a device of the kind that arrives while the noted
// one is away is then taken for it).
DeviceMatch MatchNotedDevice(DeviceSession& session, HidPlatform& platform);

// The serial number of the device open on `handle`, up to its first zero unit; empty when the
// query fails.
std::vector<std::uint8_t> ReadSerialNumber(HidPlatform& platform, Handle handle);

}  // namespace dalvorn
