// The platform operations through which the program reaches HID devices.
//
// Every operation carries the name and the calling shape of the Windows SetupAPI, HID class
// library and kernel32 function it stands for. Backends (emulated, Linux, Windows) implement
// them so that each gives its callers what the Windows function gives; nothing above this
// interface knows which backend it runs on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace dalvorn {

// Handles are plain values. A backend never hands out 0 or -1 as a valid handle, and closing
// either of them, or a value that is already closed, fails without touching any other object.
using Handle = std::intptr_t;

// A failed open or snapshot; a closed handle field holds it too.
inline constexpr Handle InvalidHandle = -1;

// SetupDiGetClassDevsA flags.
inline constexpr std::uint32_t DigcfPresent = 0x02;
inline constexpr std::uint32_t DigcfDeviceInterface = 0x10;

// CreateFileA arguments.
inline constexpr std::uint32_t GenericRead = 0x80000000u;
inline constexpr std::uint32_t GenericWrite = 0x40000000u;
inline constexpr std::uint32_t FileShareRead = 0x1;
inline constexpr std::uint32_t FileShareWrite = 0x2;
inline constexpr std::uint32_t OpenExisting = 3;
inline constexpr std::uint32_t FileFlagOverlapped = 0x40000000u;

// HidP_GetCaps results.
inline constexpr std::int32_t HidpStatusSuccess = 0x00110000;

// System error codes that the program tells apart (Windows' own values, which every backend
// gives; see LastErrorCode).
inline constexpr std::uint32_t ErrorSuccess = 0;
inline constexpr std::uint32_t ErrorGenFailure = 31;
inline constexpr std::uint32_t ErrorDeviceNotConnected = 1167;

// Size field that the caller writes into the first 4 bytes of the interface detail buffer,
// and the offset of the path behind it.
inline constexpr std::int32_t InterfaceDetailSizeField = 5;
inline constexpr std::size_t InterfaceDetailPathOffset = 4;

struct Guid {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::uint8_t Data4[8] = {};
};

struct SpDeviceInterfaceData {
  std::uint32_t cbSize = 0;  // 28, set by the caller
  Guid InterfaceClassGuid;
  std::uint32_t Flags = 0;
  std::uintptr_t Reserved = 0;  // backend's own reference to the interface
};
inline constexpr std::uint32_t SpDeviceInterfaceDataSize = 28;

struct SecurityAttributes {
  std::uint32_t nLength = 0;  // 12
  const void* lpSecurityDescriptor = nullptr;
  std::int32_t bInheritHandle = 0;
};
inline constexpr std::uint32_t SecurityAttributesSize = 12;

struct HiddAttributes {
  std::uint32_t Size = 0;  // 12, set by the caller
  std::uint16_t VendorID = 0;
  std::uint16_t ProductID = 0;
  std::uint16_t VersionNumber = 0;
};
inline constexpr std::uint32_t HiddAttributesSize = 12;

struct HidpCaps {
  std::uint16_t Usage = 0;
  std::uint16_t UsagePage = 0;
  std::uint16_t InputReportByteLength = 0;
  std::uint16_t OutputReportByteLength = 0;
  std::uint16_t FeatureReportByteLength = 0;
  std::uint16_t Reserved[17] = {};
  std::uint16_t NumberLinkCollectionNodes = 0;
  std::uint16_t NumberInputButtonCaps = 0;
  std::uint16_t NumberInputValueCaps = 0;
  std::uint16_t NumberInputDataIndices = 0;
  std::uint16_t NumberOutputButtonCaps = 0;
  std::uint16_t NumberOutputValueCaps = 0;
  std::uint16_t NumberOutputDataIndices = 0;
  std::uint16_t NumberFeatureButtonCaps = 0;
  std::uint16_t NumberFeatureValueCaps = 0;
  std::uint16_t NumberFeatureDataIndices = 0;
};

// One backend of the platform operations. Success flags are nonzero on success.
class HidPlatform {
 public:
  virtual ~HidPlatform() = default;

  // Fills `hidGuid` with the HID device interface class.
  virtual void HidD_GetHidGuid(Guid& hidGuid) = 0;

  // A snapshot of the present interfaces of `classGuid`; InvalidHandle on failure.
  // `enumerator` and `parentWindow` are always null/0 here; `flags` is
  // DigcfPresent | DigcfDeviceInterface.
  virtual Handle SetupDiGetClassDevsA(const Guid& classGuid, const char* enumerator,
                                      Handle parentWindow, std::uint32_t flags) = 0;

  // Fills `interfaceData` for the interface at `memberIndex` (from 0) of the set; 0 once the
  // index passes the last interface, or for an invalid set. `deviceInfoData` is always null.
  virtual std::int32_t SetupDiEnumDeviceInterfaces(Handle deviceInfoSet, const void* deviceInfoData,
                                                   const Guid& classGuid, std::int32_t memberIndex,
                                                   SpDeviceInterfaceData& interfaceData) = 0;

  // Without a buffer (`detailBuffer` null, `detailSize` 0): reports the required size in
  // `requiredSize` (4 + path length + 1) and returns 0. With a buffer whose first 4 bytes hold
  // the little-endian size field 5: writes the zero-terminated single-byte path from byte 4 on
  // and returns nonzero; fails (0) without writing when `detailSize` is too small. Never writes
  // outside `detailBuffer[0 .. detailSize)`.
  virtual std::int32_t SetupDiGetDeviceInterfaceDetailA(
      Handle deviceInfoSet, const SpDeviceInterfaceData& interfaceData, std::uint8_t* detailBuffer,
      std::int32_t detailSize, std::int32_t* requiredSize, void* deviceInfoData) = 0;

  // Releases a set from SetupDiGetClassDevsA.
  virtual std::int32_t SetupDiDestroyDeviceInfoList(Handle deviceInfoSet) = 0;

  // The physical device that an interface of the set belongs to, as text in `physicalDevice`:
  // interfaces of one device give the same text, interfaces of different devices different
  // ones. On Windows the device's container ID (DEVPKEY_Device_ContainerId), or its USB
  // parent's instance ID where the container cannot tell; on Linux the USB device in sysfs, or
  // the HID device itself where it has no USB parent. Returns nonzero, or 0 (and leaves
  // `physicalDevice` empty) when it cannot be told.
  virtual std::int32_t SetupDiGetDevicePropertyW(Handle deviceInfoSet,
                                                 const SpDeviceInterfaceData& interfaceData,
                                                 std::string& physicalDevice) = 0;

  // Where the physical device that an interface of the set belongs to is plugged in, as text in
  // `location`: a place that only it has while it is there, and that it keeps when it leaves and
  // comes back on the same port (as after a switch to its bootloader). On Windows the USB
  // device's DEVPKEY_Device_LocationPaths, or its parent hub and its port on it; on Linux the
  // USB device's port path in sysfs. Returns 0 (and leaves `location` empty) where the system
  // gives no location: a device with no USB parent (uhid, Bluetooth), whose grouping in
  // SetupDiGetDevicePropertyW changes when it is re-created, or a system that cannot tell.
  virtual std::int32_t CM_Get_DevNode_PropertyW(Handle deviceInfoSet,
                                                const SpDeviceInterfaceData& interfaceData,
                                                std::string& location) = 0;

  // Opens an interface by path; InvalidHandle on failure. `flags` is 0 or FileFlagOverlapped.
  virtual Handle CreateFileA(const char* path, std::uint32_t desiredAccess, std::uint32_t shareMode,
                             const SecurityAttributes* security, std::uint32_t creationDisposition,
                             std::uint32_t flags, Handle templateFile) = 0;

  virtual std::int32_t CloseHandle(Handle handle) = 0;

  virtual std::int32_t HidD_GetAttributes(Handle device, HiddAttributes& attributes) = 0;
  virtual std::int32_t HidD_GetPreparsedData(Handle device, Handle& preparsedData) = 0;
  // Returns HidpStatusSuccess on success.
  virtual std::int32_t HidP_GetCaps(Handle preparsedData, HidpCaps& capabilities) = 0;
  virtual std::int32_t HidD_FreePreparsedData(Handle preparsedData) = 0;

  // Feature reports: `buffer[0]` is the report ID; exactly `length` bytes are transferred.
  virtual std::int32_t HidD_SetFeature(Handle device, const std::uint8_t* buffer,
                                       std::uint32_t length) = 0;
  virtual std::int32_t HidD_GetFeature(Handle device, std::uint8_t* buffer,
                                       std::uint32_t length) = 0;

  // Device strings as UTF-16LE code units, normally ending in a zero unit; at most
  // `length` bytes are written.
  virtual std::int32_t HidD_GetManufacturerString(Handle device, void* buffer,
                                                  std::uint32_t length) = 0;
  virtual std::int32_t HidD_GetProductString(Handle device, void* buffer, std::uint32_t length) = 0;
  virtual std::int32_t HidD_GetSerialNumberString(Handle device, void* buffer,
                                                  std::uint32_t length) = 0;

  // Blocks the calling thread (or advances a virtual clock) for `milliseconds`.
  virtual void Sleep(std::uint32_t milliseconds) = 0;

  // Pacing. A steady clock in microseconds (on Windows the performance counter), and a pause
  // until that clock reaches `deadline`, which never returns earlier; a deadline already
  // passed returns at once. Where pauses are recorded, this one is recorded as a Sleep of the
  // milliseconds that were left, rounded up.
  virtual std::int64_t SteadyMicroseconds() = 0;
  virtual void SleepUntil(std::int64_t deadlineMicroseconds) = 0;

  // The folder that holds the running program's executable, without a trailing separator.
  virtual std::string ProgramFolder() = 0;

  // Why the operation that has just failed failed, as the operating system told it (the errno
  // text on Linux, GetLastError on Windows). Only meaningful right after a failed operation;
  // empty where the backend has nothing to tell.
  virtual std::string LastOsError() { return {}; }

  // The same reason as a Windows system error code (GetLastError): ErrorDeviceNotConnected
  // when the device has gone (ENODEV on Linux), another nonzero code for any other failure.
  // Like LastOsError, a property of the failed operation, not an operation of its own.
  virtual std::uint32_t LastErrorCode() { return ErrorGenFailure; }
};

}  // namespace dalvorn
