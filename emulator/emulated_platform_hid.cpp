// The HID class library's operations of the emulated platform: attributes, capabilities,
// feature reports and strings.
#include <algorithm>
#include <cstring>

#include "device/device_codes.h"
#include "emulated_platform.h"

namespace dalvorn::emulator {
namespace {

TraceFields HexOrNull(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr) return nullptr;
  return TraceWriter::Hex(data, size);
}

}  // namespace

std::int32_t EmulatedPlatform::HidD_GetAttributes(Handle device, HiddAttributes& attributes) {
  Sync();
  std::int32_t result = 0;
  if (const OpenFile* file = LiveFile(device)) {
    if (file->target == kDevice) {
      attributes.VendorID = DeviceVendorID;
      attributes.ProductID = device_.ProductId();
      attributes.VersionNumber = device_.Version();
    } else {
      const PlainInterface& plain = scenario_.interfaces[file->target];
      attributes.VendorID = plain.vendor;
      attributes.ProductID = plain.product;
      attributes.VersionNumber = plain.version;
    }
    result = 1;
  }
  Record("HidD_GetAttributes",
         TraceFields{{"handle", device},
                     {"vendor", attributes.VendorID},
                     {"product", attributes.ProductID},
                     {"version", attributes.VersionNumber}},
         result);
  return result;
}

std::int32_t EmulatedPlatform::HidD_GetPreparsedData(Handle device, Handle& preparsedData) {
  Sync();
  std::int32_t result = 0;
  if (const OpenFile* file = LiveFile(device)) {
    if (file->target != kDevice) {
      preparsedData = NewHandle(Preparsed{scenario_.interfaces[file->target].reportLength});
      result = 1;
    } else if (!device_.CapsFail()) {
      preparsedData = NewHandle(Preparsed{device_.ReportLength()});
      result = 1;
    }
  }
  Record("HidD_GetPreparsedData",
         TraceFields{{"handle", device}, {"preparsed", result != 0 ? preparsedData : 0}}, result);
  return result;
}

std::int32_t EmulatedPlatform::HidP_GetCaps(Handle preparsedData, HidpCaps& capabilities) {
  Sync();
  std::int32_t result = 0;
  if (const Preparsed* preparsed = Find<Preparsed>(preparsedData)) {
    capabilities = HidpCaps{};
    capabilities.FeatureReportByteLength = preparsed->featureReportLength;
    result = HidpStatusSuccess;
  }
  Record("HidP_GetCaps",
         TraceFields{{"preparsed", preparsedData},
                     {"feature_report_length", capabilities.FeatureReportByteLength}},
         result);
  return result;
}

std::int32_t EmulatedPlatform::HidD_FreePreparsedData(Handle preparsedData) {
  Sync();
  std::int32_t result = 0;
  if (Find<Preparsed>(preparsedData) != nullptr) {
    objects_.erase(preparsedData);
    result = 1;
  }
  Record("HidD_FreePreparsedData", TraceFields{{"preparsed", preparsedData}}, result);
  return result;
}

std::int32_t EmulatedPlatform::HidD_SetFeature(Handle device, const std::uint8_t* buffer,
                                               std::uint32_t length) {
  Sync();
  std::int32_t result = 0;
  if (const OpenFile* file = LiveFile(device); file != nullptr && TakesReports(*file)) {
    if (file->target == kDevice) {
      result = device_.SetFeature(buffer, length, clock_.NowMs());
      if (!device_.Present()) lastErrorCode_ = ErrorDeviceNotConnected;
    } else {
      result = buffer != nullptr && length > 0 ? 1 : 0;
    }
  }
  Record("HidD_SetFeature",
         TraceFields{{"handle", device}, {"length", length}, {"data", HexOrNull(buffer, length)}},
         result);
  Sync();
  return result;
}

std::int32_t EmulatedPlatform::HidD_GetFeature(Handle device, std::uint8_t* buffer,
                                               std::uint32_t length) {
  Sync();
  std::int32_t result = 0;
  if (const OpenFile* file = LiveFile(device); file != nullptr && TakesReports(*file)) {
    if (file->target == kDevice) {
      result = device_.GetFeature(buffer, length);
    } else if (buffer != nullptr && length > 0) {
      std::fill(buffer, buffer + length, std::uint8_t{0});
      result = 1;
    }
  }
  Record("HidD_GetFeature",
         TraceFields{{"handle", device}, {"length", length}, {"data", HexOrNull(buffer, length)}},
         result);
  Sync();
  return result;
}

std::int32_t EmulatedPlatform::StringQuery(const char* fn, Handle device, void* buffer,
                                           std::uint32_t length,
                                           DeviceString DeviceStrings::*which) {
  Sync();
  std::int32_t result = 0;
  std::size_t written = 0;
  if (const OpenFile* file = LiveFile(device); file != nullptr && buffer != nullptr) {
    const DeviceStrings& strings =
        file->target == kDevice ? device_.Strings() : scenario_.interfaces[file->target].strings;
    if (const DeviceString& text = strings.*which) {
      // A string longer than the query is cut to it, with no terminator.
      written = std::min<std::size_t>(length, text->size());
      // An empty string has no storage at all: copying from it is copying from null.
      if (written > 0) std::memcpy(buffer, text->data(), written);
      result = 1;
    }
  }
  Record(fn,
         TraceFields{{"handle", device},
                     {"length", length},
                     {"data", TraceWriter::Hex(static_cast<const std::uint8_t*>(buffer),
                                               result != 0 ? written : 0)}},
         result);
  return result;
}

std::int32_t EmulatedPlatform::HidD_GetManufacturerString(Handle device, void* buffer,
                                                          std::uint32_t length) {
  return StringQuery("HidD_GetManufacturerString", device, buffer, length,
                     &DeviceStrings::manufacturer);
}

std::int32_t EmulatedPlatform::HidD_GetProductString(Handle device, void* buffer,
                                                     std::uint32_t length) {
  return StringQuery("HidD_GetProductString", device, buffer, length, &DeviceStrings::product);
}

std::int32_t EmulatedPlatform::HidD_GetSerialNumberString(Handle device, void* buffer,
                                                          std::uint32_t length) {
  return StringQuery("HidD_GetSerialNumberString", device, buffer, length, &DeviceStrings::serial);
}

}  // namespace dalvorn::emulator
