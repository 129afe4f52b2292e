#include "device/find_the_hid.h"

#include <algorithm>
#include <cstring>

#include "device/device_codes.h"
#include "device/interface_walk.h"

namespace dalvorn {
namespace {

// An interface whose detail record would be larger than this is not a HID device path.
constexpr std::int32_t MaxDetailSize = 64 * 1024;

}  // namespace

// The detail queries' results are not looked at: the sizing query reports its size and the
// path read decides.
bool ReadInterfacePath(DeviceSession& s, HidPlatform& platform) {
  DeviceSearchScratch& w = s.Search;
  w.Needed = 0;
  platform.SetupDiGetDeviceInterfaceDetailA(w.DeviceInfoSet, w.InterfaceData, nullptr, 0, &w.Needed,
                                            nullptr);
  if (w.Needed < InterfaceDetailSizeField || w.Needed > MaxDetailSize) {
    // Too small to hold the size field and one character: the interface has gone.
    return false;
  }
  w.DetailDataSize = w.Needed;
  w.DetailDataBuffer.assign(static_cast<std::size_t>(w.Needed) + 1, 0);
  // The record starts with its size field, little-endian.
  constexpr auto sizeField = static_cast<std::uint32_t>(InterfaceDetailSizeField);
  const std::uint8_t sizeBytes[4] = {
      static_cast<std::uint8_t>(sizeField), static_cast<std::uint8_t>(sizeField >> 8),
      static_cast<std::uint8_t>(sizeField >> 16), static_cast<std::uint8_t>(sizeField >> 24)};
  std::memcpy(w.DetailDataBuffer.data(), sizeBytes, sizeof sizeBytes);

  platform.SetupDiGetDeviceInterfaceDetailA(w.DeviceInfoSet, w.InterfaceData,
                                            w.DetailDataBuffer.data(), w.DetailDataSize, &w.Needed,
                                            nullptr);

  // The path runs from byte 4 to its first zero; the buffer's spare last byte is always zero.
  const auto pathBegin = w.DetailDataBuffer.begin() + InterfaceDetailPathOffset;
  const auto pathEnd = std::find(pathBegin, w.DetailDataBuffer.end(), std::uint8_t{0});
  s.DevicePath.assign(pathBegin, pathEnd);
  return true;
}

Handle OpenInterface(DeviceSession& s, HidPlatform& platform, std::uint32_t flags) {
  return platform.CreateFileA(s.DevicePath.c_str(), GenericRead | GenericWrite,
                              FileShareRead | FileShareWrite, &s.Search.Security, OpenExisting,
                              flags, 0);
}

void StartInterfaceWalk(DeviceSession& s, HidPlatform& platform, Guid& hidGuid) {
  DeviceSearchScratch& w = s.Search;
  w.EnumExhausted = false;
  w.Security.nLength = SecurityAttributesSize;
  w.Security.lpSecurityDescriptor = nullptr;
  w.Security.bInheritHandle = -1;
  platform.HidD_GetHidGuid(hidGuid);
  w.DeviceInfoSet =
      platform.SetupDiGetClassDevsA(hidGuid, nullptr, 0, DigcfPresent | DigcfDeviceInterface);
}

bool IsDeviceIdentity(std::uint16_t vendorId, std::uint16_t productId) {
  return vendorId == DeviceVendorID && (productId == BootProductID || productId == AppProductID);
}

bool FindTheHid(DeviceSession& s, HidPlatform& platform) {
  DeviceSearchScratch& w = s.Search;
  s.DeviceFound = false;
  Guid hidGuid;
  StartInterfaceWalk(s, platform, hidGuid);

  // Only two results decide anything: the enumeration step (a failure ends the walk) and the
  // attributes query (a failure means no match).
  std::int32_t memberIndex = 0;
  do {
    w.InterfaceData.cbSize = SpDeviceInterfaceDataSize;
    if (platform.SetupDiEnumDeviceInterfaces(w.DeviceInfoSet, nullptr, hidGuid, memberIndex,
                                             w.InterfaceData) == 0) {
      w.EnumExhausted = true;
    } else if (ReadInterfacePath(s, platform)) {
      s.DeviceHandle = OpenInterface(s, platform, 0);
      s.DeviceAttrs.VendorID = 0;
      s.DeviceAttrs.ProductID = 0;
      s.DeviceAttrs.Size = HiddAttributesSize;
      const std::int32_t attributes = platform.HidD_GetAttributes(s.DeviceHandle, s.DeviceAttrs);
      if (attributes != 0 && IsDeviceIdentity(s.DeviceAttrs.VendorID, s.DeviceAttrs.ProductID)) {
        s.DeviceFound = true;
      } else {
        CloseHandleField(s.DeviceHandle, platform);
      }
    }
    ++memberIndex;
  } while (!w.EnumExhausted && !s.DeviceFound);

  platform.SetupDiDestroyDeviceInfoList(w.DeviceInfoSet);

  if (s.DeviceFound) {
    ReadDeviceCapabilities(s, platform);
    s.OverlappedHandle = OpenInterface(s, platform, FileFlagOverlapped);
  }
  return s.DeviceFound;
}

void ReadDeviceCapabilities(DeviceSession& s, HidPlatform& platform) {
  Handle& preparsed = s.Search.PreparsedData;
  preparsed = 0;
  if (platform.HidD_GetPreparsedData(s.DeviceHandle, preparsed) == 0) {
    // Nothing was obtained, so there is nothing to ask for capabilities or to release.
    return;
  }
  platform.HidP_GetCaps(preparsed, s.DeviceCaps);
  platform.HidD_FreePreparsedData(preparsed);
  preparsed = 0;
}

}  // namespace dalvorn
