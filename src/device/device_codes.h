// The device's identity and the fixed command codes of its feature-report protocol.
#pragma once

#include <array>
#include <cstdint>

// DeviceVendorID, AppProductID, BootProductID: set at configure time (DALVORN_VENDOR_ID...).
#include "dalvorn/device_ids.h"

namespace dalvorn {

// Bytes 1..3 of the message that switches the device from application into bootloader mode.
inline constexpr std::array<std::uint8_t, 3> BootEntryCode = {0xB0, 0x07, 0x1D};

// Bytes 1..8 of the message that unlocks the bootloader when its status asks for it.
inline constexpr std::array<std::uint8_t, 8> UnlockCode = {0x55, 0x4E, 0x4C, 0x4B,
                                                           0xD4, 0x17, 0x0A, 0x5E};

// The bytes of firmware one data block carries, after its report-ID byte.
inline constexpr std::uint16_t DataBlockRecordBytes = 40;

// The shortest feature report, report-ID byte included, that carries the messages of each mode:
// the bootloader-entry message in application mode, a whole data block in bootloader mode.
inline constexpr std::uint16_t AppReportMinimum = 1 + BootEntryCode.size();
inline constexpr std::uint16_t BootReportMinimum = 1 + DataBlockRecordBytes;

}  // namespace dalvorn
