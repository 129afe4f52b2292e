// The HID device interface class, as HidD_GetHidGuid gives it, and GUIDs compared, for the
// backends that stand in for Windows (Linux, the emulator).
#pragma once

#include <algorithm>
#include <iterator>

#include "device/hid_platform.h"

namespace dalvorn {

// {4D1E55B2-F16F-11CF-88CB-001111000030}
inline constexpr Guid HidClassGuid{
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

inline bool SameGuid(const Guid& a, const Guid& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::equal(std::begin(a.Data4), std::end(a.Data4), std::begin(b.Data4));
}

}  // namespace dalvorn
