// How many devices of the kind the host has: the update talks to one device only, and with
// two attached it could not tell which one comes back from the bootloader.
#pragma once

#include <cstddef>

#include "device/hid_platform.h"

namespace dalvorn {

// Walks the host's present HID interfaces as the device search does and counts the physical
// devices among those it can open whose attributes name the device, in either mode: one device
// with several HID interfaces counts once. Opens and closes handles of its own; the session's
// are not touched.
std::size_t CountDevicesOfTheKind(HidPlatform& platform);

}  // namespace dalvorn
