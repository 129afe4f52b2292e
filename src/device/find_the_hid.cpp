#include "device/find_the_hid.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "device/device_codes.h"
#include "device/device_identity.h"
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

bool CarriesMessagesOfItsMode(std::uint16_t productId, std::uint16_t reportLength) {
  return reportLength >= (productId == BootProductID ? BootReportMinimum : AppReportMinimum);
}

namespace {

// An interface of the kind whose reports are too short for the messages of its mode, kept open
// while the walk looks for a better one: taken only when there is none.
struct ShortInterface {
  Handle handle = InvalidHandle;
  HiddAttributes attributes;
  std::string path;
  std::optional<HidpCaps> caps;
  SpDeviceInterfaceData data;
};

// One step of the walk on the interface in Search.InterfaceData. True when it is the device
// through an interface that carries the messages of its mode: it is then open on DeviceHandle.
// The first interface of the kind that cannot goes into `firstShort`, still open.
bool ExamineInterface(DeviceSession& s, HidPlatform& platform,
                      std::optional<ShortInterface>& firstShort) {
  if (!ReadInterfacePath(s, platform)) return false;
  s.DeviceHandle = OpenInterface(s, platform, 0);
  s.DeviceAttrs.VendorID = 0;
  s.DeviceAttrs.ProductID = 0;
  s.DeviceAttrs.Size = HiddAttributesSize;
  const std::int32_t attributes = platform.HidD_GetAttributes(s.DeviceHandle, s.DeviceAttrs);
  if (attributes == 0 || !IsDeviceIdentity(s.DeviceAttrs.VendorID, s.DeviceAttrs.ProductID)) {
    CloseHandleField(s.DeviceHandle, platform);
    return false;
  }
  HidpCaps caps = s.DeviceCaps;
  const bool capsRead = ReadCapabilities(s, platform, caps);
  if (capsRead && CarriesMessagesOfItsMode(s.DeviceAttrs.ProductID, caps.FeatureReportByteLength)) {
    s.DeviceCaps = caps;
    s.DeviceReportLength = caps.FeatureReportByteLength;
    return true;
  }
  if (firstShort) {
    CloseHandleField(s.DeviceHandle, platform);
  } else {
    firstShort = ShortInterface{s.DeviceHandle, s.DeviceAttrs, s.DevicePath,
                                capsRead ? std::optional<HidpCaps>(caps) : std::nullopt,
                                s.Search.InterfaceData};
  }
  return false;
}

// Takes the interface of the kind whose reports are too short, when the walk found no better
// one (so that the caller can tell why the device cannot be updated), or closes it.
void SettleShortInterface(DeviceSession& s, HidPlatform& platform,
                          std::optional<ShortInterface>& firstShort) {
  if (!firstShort) return;
  if (s.DeviceFound) {
    CloseHandleField(firstShort->handle, platform);
    return;
  }
  s.DeviceHandle = firstShort->handle;
  s.DeviceAttrs = firstShort->attributes;
  s.DevicePath = firstShort->path;
  if (firstShort->caps) s.DeviceCaps = *firstShort->caps;
  s.DeviceReportLength = firstShort->caps ? firstShort->caps->FeatureReportByteLength : 0;
  s.Search.InterfaceData = firstShort->data;
  s.DeviceFound = true;
}

}  // namespace

bool FindTheHid(DeviceSession& s, HidPlatform& platform) {
  DeviceSearchScratch& w = s.Search;
  s.DeviceFound = false;
  s.AnotherDeviceFound = false;
  Guid hidGuid;
  StartInterfaceWalk(s, platform, hidGuid);

  // Only the enumeration step (a failure ends the walk), the attributes query (a failure means
  // no match) and the capabilities (the feature reports' length) decide anything.
  std::optional<ShortInterface> firstShort;
  std::int32_t memberIndex = 0;
  do {
    w.InterfaceData.cbSize = SpDeviceInterfaceDataSize;
    if (platform.SetupDiEnumDeviceInterfaces(w.DeviceInfoSet, nullptr, hidGuid, memberIndex,
                                             w.InterfaceData) == 0) {
      w.EnumExhausted = true;
    } else {
      s.DeviceFound = ExamineInterface(s, platform, firstShort);
    }
    ++memberIndex;
  } while (!w.EnumExhausted && !s.DeviceFound);
  SettleShortInterface(s, platform, firstShort);

  if (s.DeviceFound) {
    s.DeviceLocation.clear();
    platform.CM_Get_DevNode_PropertyW(w.DeviceInfoSet, w.InterfaceData, s.DeviceLocation);
    if (const DeviceMatch match = MatchNotedDevice(s, platform); match != DeviceMatch::Same) {
      CloseHandleField(s.DeviceHandle, platform);
      s.DeviceFound = false;
      s.AnotherDeviceFound = match == DeviceMatch::Other;
    }
  }
  platform.SetupDiDestroyDeviceInfoList(w.DeviceInfoSet);

  if (s.DeviceFound) s.OverlappedHandle = OpenInterface(s, platform, FileFlagOverlapped);
  return s.DeviceFound;
}

bool ReadCapabilities(DeviceSession& s, HidPlatform& platform, HidpCaps& caps) {
  Handle& preparsed = s.Search.PreparsedData;
  preparsed = 0;
  if (platform.HidD_GetPreparsedData(s.DeviceHandle, preparsed) == 0) {
    // Nothing was obtained, so there is nothing to ask for capabilities or to release.
    return false;
  }
  const bool read = platform.HidP_GetCaps(preparsed, caps) == HidpStatusSuccess;
  platform.HidD_FreePreparsedData(preparsed);
  preparsed = 0;
  return read;
}

}  // namespace dalvorn
