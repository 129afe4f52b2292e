// The device's feature-report messages. Every message is a feature report with report ID 0
// in byte 0, exactly FeatureReportByteLength bytes long, sent or read on DeviceHandle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/device_session.h"
#include "device/hid_platform.h"
#include "update/firmware_image.h"

namespace dalvorn {

inline constexpr std::size_t CommandReportSize = 1001;
inline constexpr std::size_t BlockBufferSize = 101;
inline constexpr std::size_t StatusReportSize = 101;

// A zero-filled message buffer of `minimumSize` bytes, or as long as the device's feature
// report when that is longer, so a transfer never reads or writes outside it.
std::vector<std::uint8_t> NewReportBuffer(std::size_t minimumSize, const DeviceSession& session);

// Writes the bootloader-entry message (BootEntryCode in bytes 1..3) into `buffer`.
void BuildBootEntryMessage(std::vector<std::uint8_t>& buffer);
// Writes the unlock message (UnlockCode in bytes 1..8) into `buffer`.
void BuildUnlockMessage(std::vector<std::uint8_t>& buffer);
// Writes a data-block message: report ID 0, then the FlashRecordSize bytes of `record` in file
// order.
void BuildDataBlockMessage(std::vector<std::uint8_t>& buffer, const std::uint8_t* record);

// Sends `buffer` as a feature report of the device's length; returns the platform's result.
std::int32_t SendFeatureReport(DeviceSession& session, HidPlatform& platform,
                               std::vector<std::uint8_t>& buffer);

// Reads the bootloader's status report into `status`, grown first to StatusReportSize bytes
// or the device's report length when that is longer; returns the platform's result.
std::int32_t ReadStatusReport(const DeviceSession& session, HidPlatform& platform,
                              std::vector<std::uint8_t>& status);

// True when the status read succeeded and byte 1 or byte 2 of `status` asks for the unlock
// message.
bool StatusAsksForUnlock(const std::vector<std::uint8_t>& status, std::int32_t readResult);

}  // namespace dalvorn
