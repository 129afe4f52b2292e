// The program's one record of the device: what the last search found and the handles it left
// open, plus the few values the update keeps beside them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/hid_platform.h"

namespace dalvorn {

struct DeviceSession {
  HidpCaps DeviceCaps;
  std::int32_t DetailDataSize = 0;
  std::vector<std::uint8_t> DetailDataBuffer;
  HiddAttributes DeviceAttrs;
  std::string DevicePath;
  Handle DeviceInfoSet = 0;
  Handle DeviceHandle = 0;
  bool EnumExhausted = false;
  bool DeviceFound = false;
  std::int32_t InterfaceDetail = 0;
  SpDeviceInterfaceData InterfaceData;
  std::int32_t Needed = 0;
  Handle PreparsedData = 0;
  Handle OverlappedHandle = 0;
  std::int32_t LastResult = 0;
  SecurityAttributes Security;
  // Receives the bootloader's status report; grown to the report length when a device
  // announces reports longer than its 101 bytes.
  std::vector<std::uint8_t> StatusReport = std::vector<std::uint8_t>(101, 0);
  std::int16_t ProgressFullWidth = 0;
};

// Closes DeviceHandle, then OverlappedHandle, storing each result in LastResult. A closed
// field holds INVALID_HANDLE_VALUE, so closing it again fails harmlessly and can never close
// another object that the platform has since given the same value.
void CloseDeviceHandles(DeviceSession& session, HidPlatform& platform);

// Closes one handle field the same way.
void CloseHandleField(Handle& field, DeviceSession& session, HidPlatform& platform);

}  // namespace dalvorn
