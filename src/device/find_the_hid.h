// The device search: walks the host's present HID interfaces and opens the first that is
// the device, in either of its modes, through an interface whose feature reports can carry the
// messages of that mode.
#pragma once

#include "device/device_session.h"
#include "device/hid_platform.h"

namespace dalvorn {

// True when the device was found; it is then open with DeviceHandle (synchronous) and
// OverlappedHandle (string queries), and DeviceAttrs, DevicePath, DeviceCaps,
// DeviceReportLength and DeviceLocation describe it. Among the interfaces of the kind the search
// takes the first whose feature reports carry the messages of its mode; an interface with shorter
// reports, or whose capabilities cannot be read, is passed over as an unopenable one is, and
// taken only when no interface of the kind can (the caller then tells why it cannot update).
// Once the session has noted the device (device_identity.h), a search whose first device of the
// kind is another finds nothing and sets AnotherDeviceFound; one whose device left before it
// could be told finds nothing.
// The search is what sets session.DeviceFound: it holds the same result afterwards, so a
// caller reads either. Handles left open by an earlier search are not closed here.
bool FindTheHid(DeviceSession& session, HidPlatform& platform);

// Reads the capabilities of the interface open on DeviceHandle into `caps`; false when they
// cannot be read (`caps` is then left as it was when the preparsed data cannot be obtained).
bool ReadCapabilities(DeviceSession& session, HidPlatform& platform, HidpCaps& caps);

// True when the attributes name the device in application or bootloader mode.
bool IsDeviceIdentity(std::uint16_t vendorId, std::uint16_t productId);

// True when feature reports of `reportLength` bytes carry the messages of the mode that
// `productId` names: the bootloader-entry message in application mode (AppReportMinimum), a
// whole data block in bootloader mode (BootReportMinimum).
bool CarriesMessagesOfItsMode(std::uint16_t productId, std::uint16_t reportLength);

}  // namespace dalvorn
