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

// Refreshes the value labels from the session: the device's strings and version when
// DeviceFound, blanks otherwise. A failed string query leaves its label as it was.
void ShowDeviceInfo(DeviceSession& session, HidPlatform& platform, WindowView& view);

// The text of a UTF-16LE string query result as UTF-8: up to the first zero code unit or the
// end of `size` bytes; an incomplete surrogate pair at the end is dropped, lone surrogates
// become U+FFFD.
std::string DecodeDeviceString(const std::uint8_t* bytes, std::size_t size);

// Appends code point `cp` to `out` in UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// " major.minor": the high byte in decimal, the low byte in upper-case hexadecimal.
std::string VersionText(std::uint16_t versionNumber);

}  // namespace dalvorn
