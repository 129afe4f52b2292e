#include "device/find_the_hid.h"

#include <algorithm>

#include "device/device_codes.h"

namespace dalvorn {
namespace {

// An interface whose detail record would be larger than this is not a HID device path.
constexpr std::int32_t MaxDetailSize = 64 * 1024;

// Reads the interface detail record of the current interface into DetailDataBuffer and
// DevicePath. False when the interface vanished before its size could be known.
bool ReadInterfacePath(DeviceSession& s, HidPlatform& platform) {
  s.Needed = 0;
  s.LastResult = platform.SetupDiGetDeviceInterfaceDetailA(s.DeviceInfoSet, s.InterfaceData,
                                                           nullptr, 0, &s.Needed, nullptr);
  if (s.Needed < InterfaceDetailSizeField || s.Needed > MaxDetailSize) {
    // Too small to hold the size field and one character: the interface has gone.
    return false;
  }
  s.DetailDataSize = s.Needed;
  s.InterfaceDetail = InterfaceDetailSizeField;
  s.DetailDataBuffer.assign(static_cast<std::size_t>(s.Needed) + 1, 0);
  const std::uint32_t sizeField = static_cast<std::uint32_t>(s.InterfaceDetail);
  const std::uint8_t sizeBytes[4] = {
      static_cast<std::uint8_t>(sizeField), static_cast<std::uint8_t>(sizeField >> 8),
      static_cast<std::uint8_t>(sizeField >> 16), static_cast<std::uint8_t>(sizeField >> 24)};
  RtlMoveMemory(s.DetailDataBuffer.data(), sizeBytes, sizeof sizeBytes);

  s.LastResult = platform.SetupDiGetDeviceInterfaceDetailA(s.DeviceInfoSet, s.InterfaceData,
                                                           s.DetailDataBuffer.data(),
                                                           s.DetailDataSize, &s.Needed, nullptr);

  // The path runs from byte 4 to its first zero; the buffer's spare last byte is always zero.
  const auto pathBegin = s.DetailDataBuffer.begin() + InterfaceDetailPathOffset;
  const auto pathEnd = std::find(pathBegin, s.DetailDataBuffer.end(), std::uint8_t{0});
  s.DevicePath.assign(pathBegin, pathEnd);
  return true;
}

Handle OpenInterface(DeviceSession& s, HidPlatform& platform, std::uint32_t flags) {
  return platform.CreateFileA(s.DevicePath.c_str(), GenericRead | GenericWrite,
                              FileShareRead | FileShareWrite, &s.Security, OpenExisting, flags, 0);
}

}  // namespace

bool IsDeviceIdentity(std::uint16_t vendorId, std::uint16_t productId) {
  return vendorId == DeviceVendorID && (productId == BootProductID || productId == AppProductID);
}

bool FindTheHid(DeviceSession& s, HidPlatform& platform) {
  bool result = false;
  s.EnumExhausted = false;
  s.DeviceFound = false;
  s.Security.nLength = SecurityAttributesSize;
  s.Security.lpSecurityDescriptor = nullptr;
  s.Security.bInheritHandle = -1;

  Guid hidGuid;
  platform.HidD_GetHidGuid(hidGuid);
  s.DeviceInfoSet =
      platform.SetupDiGetClassDevsA(hidGuid, nullptr, 0, DigcfPresent | DigcfDeviceInterface);

  std::int32_t memberIndex = 0;
  do {
    s.InterfaceData.cbSize = SpDeviceInterfaceDataSize;
    s.LastResult = platform.SetupDiEnumDeviceInterfaces(s.DeviceInfoSet, nullptr, hidGuid,
                                                        memberIndex, s.InterfaceData);
    if (s.LastResult == 0) {
      s.EnumExhausted = true;
    } else if (ReadInterfacePath(s, platform)) {
      s.DeviceHandle = OpenInterface(s, platform, 0);
      s.DeviceAttrs.VendorID = 0;
      s.DeviceAttrs.ProductID = 0;
      s.DeviceAttrs.Size = HiddAttributesSize;
      s.LastResult = platform.HidD_GetAttributes(s.DeviceHandle, s.DeviceAttrs);
      if (s.LastResult != 0 && IsDeviceIdentity(s.DeviceAttrs.VendorID, s.DeviceAttrs.ProductID)) {
        s.DeviceFound = true;
      } else {
        s.DeviceFound = false;
        CloseHandleField(s.DeviceHandle, s, platform);
      }
    }
    ++memberIndex;
  } while (!s.EnumExhausted && !s.DeviceFound);

  platform.SetupDiDestroyDeviceInfoList(s.DeviceInfoSet);

  if (s.DeviceFound) {
    result = true;
    ReadDeviceCapabilities(s, platform);
    s.OverlappedHandle = OpenInterface(s, platform, FileFlagOverlapped);
  }
  return result;
}

void ReadDeviceCapabilities(DeviceSession& s, HidPlatform& platform) {
  s.PreparsedData = 0;
  s.LastResult = platform.HidD_GetPreparsedData(s.DeviceHandle, s.PreparsedData);
  if (s.LastResult == 0) {
    // Nothing was obtained, so there is nothing to ask for capabilities or to release.
    return;
  }
  s.LastResult = platform.HidP_GetCaps(s.PreparsedData, s.DeviceCaps);
  s.LastResult = platform.HidD_FreePreparsedData(s.PreparsedData);
  s.PreparsedData = 0;
}

}  // namespace dalvorn
