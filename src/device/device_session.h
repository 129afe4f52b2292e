// The program's one record of the device: what the last search found and the handles it left
// open.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/hid_platform.h"

namespace dalvorn {

// The device search's working fields: filled and read only while one search runs. They stay
// in the record after it, for a reader who wants to see how the last search ended.
struct DeviceSearchScratch {
  Handle DeviceInfoSet = 0;                    // the set of interfaces being walked
  SpDeviceInterfaceData InterfaceData;         // the interface of the current step
  std::int32_t Needed = 0;                     // size the detail query asked for
  std::int32_t DetailDataSize = 0;             // size handed to the detail query
  std::vector<std::uint8_t> DetailDataBuffer;  // the detail record: size field, then path
  bool EnumExhausted = false;                  // the walk ran past the last interface
  Handle PreparsedData = 0;                    // valid only while the caps are read
  SecurityAttributes Security;                 // handed to both opens
};

// Who the device is, noted at the click so that the searches of the update take no other.
struct DeviceIdentity {
  bool noted = false;
  std::string location;              // where it is plugged in; empty: the system gives none
  std::vector<std::uint8_t> serial;  // its serial number (UTF-16LE, no terminator); empty: none
};

struct DeviceSession {
  // What the last search found, and the two handles it left open on the device.
  bool DeviceFound = false;
  Handle DeviceHandle = 0;      // synchronous: attributes, capabilities, feature reports
  Handle OverlappedHandle = 0;  // opened with FileFlagOverlapped: the string queries
  HiddAttributes DeviceAttrs;   // of the interface examined last
  HidpCaps DeviceCaps;          // its FeatureReportByteLength is every report's length
  std::string DevicePath;
  // The interface found: its feature-report length as its capabilities told (0 when they could
  // not be read), and where its device is plugged in (empty when the system gives no location).
  std::uint16_t DeviceReportLength = 0;
  std::string DeviceLocation;

  // Once noted (at the click), a search takes the device only; when the first device of the kind
  // it meets is another, it finds nothing and says so in AnotherDeviceFound.
  DeviceIdentity NotedDevice;
  bool AnotherDeviceFound = false;

  DeviceSearchScratch Search;
};

// Closes DeviceHandle, then OverlappedHandle. A closed field holds InvalidHandle, so
// closing it again fails harmlessly and can never close another object that the platform has
// since given the same value.
void CloseDeviceHandles(DeviceSession& session, HidPlatform& platform);

// Closes one handle field the same way; returns the close's result.
std::int32_t CloseHandleField(Handle& field, HidPlatform& platform);

}  // namespace dalvorn
