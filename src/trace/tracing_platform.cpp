#include "trace/tracing_platform.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace dalvorn {
namespace {

TraceFields HexOrNull(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr) return nullptr;
  return TraceWriter::Hex(data, size);
}

}  // namespace

std::size_t TracingPlatform::StringBytes(const std::uint8_t* buffer, std::uint32_t length) {
  for (std::size_t i = 0; i + 1 < length; i += 2) {
    if (buffer[i] == 0 && buffer[i + 1] == 0) return i + 2;
  }
  return length;
}

void TracingPlatform::Record(std::int64_t t, std::string_view fn, TraceFields args,
                             const TraceFields& result, bool failed) {
  // Asked before anything is written, which could touch the system's last error.
  if (failed) {
    lastErrorCode_ = inner_.LastErrorCode();
    std::string why = inner_.LastOsError();
    if (!why.empty()) args["os_error"] = std::move(why);
  }
  trace_.CallAt(t, fn, args, result);
}

void TracingPlatform::HidD_GetHidGuid(Guid& hidGuid) {
  const std::int64_t t = trace_.Now();
  inner_.HidD_GetHidGuid(hidGuid);
  Record(t, "HidD_GetHidGuid", TraceFields::object(), nullptr, false);
}

Handle TracingPlatform::SetupDiGetClassDevsA(const Guid& classGuid, const char* enumerator,
                                             Handle parentWindow, std::uint32_t flags) {
  const std::int64_t t = trace_.Now();
  const Handle result = inner_.SetupDiGetClassDevsA(classGuid, enumerator, parentWindow, flags);
  Record(t, "SetupDiGetClassDevsA", TraceFields::object(), result, result == InvalidHandle);
  return result;
}

std::int32_t TracingPlatform::SetupDiEnumDeviceInterfaces(Handle deviceInfoSet,
                                                          const void* deviceInfoData,
                                                          const Guid& classGuid,
                                                          std::int32_t memberIndex,
                                                          SpDeviceInterfaceData& interfaceData) {
  const std::int64_t t = trace_.Now();
  const std::int32_t result = inner_.SetupDiEnumDeviceInterfaces(
      deviceInfoSet, deviceInfoData, classGuid, memberIndex, interfaceData);
  // Running past the last interface is how every enumeration ends, not a failure to explain.
  Record(t, "SetupDiEnumDeviceInterfaces", TraceFields{{"index", memberIndex}}, result, false);
  return result;
}

std::int32_t TracingPlatform::SetupDiGetDeviceInterfaceDetailA(
    Handle deviceInfoSet, const SpDeviceInterfaceData& interfaceData, std::uint8_t* detailBuffer,
    std::int32_t detailSize, std::int32_t* requiredSize, void* deviceInfoData) {
  const std::int64_t t = trace_.Now();
  const std::int32_t result = inner_.SetupDiGetDeviceInterfaceDetailA(
      deviceInfoSet, interfaceData, detailBuffer, detailSize, requiredSize, deviceInfoData);
  // The sizing call fails by design; only a failed detail call is worth a reason.
  Record(t, "SetupDiGetDeviceInterfaceDetailA",
         TraceFields{{"size", detailSize},
                     {"needed",
                      requiredSize != nullptr ? TraceFields(*requiredSize) : TraceFields(nullptr)}},
         result, result == 0 && detailBuffer != nullptr);
  return result;
}

std::int32_t TracingPlatform::SetupDiDestroyDeviceInfoList(Handle deviceInfoSet) {
  const std::int64_t t = trace_.Now();
  const std::int32_t result = inner_.SetupDiDestroyDeviceInfoList(deviceInfoSet);
  Record(t, "SetupDiDestroyDeviceInfoList", TraceFields{{"set", deviceInfoSet}}, result,
         result == 0);
  return result;
}

std::int32_t TracingPlatform::SetupDiGetDevicePropertyW(Handle deviceInfoSet,
                                                        const SpDeviceInterfaceData& interfaceData,
                                                        std::string& physicalDevice) {
  const std::int64_t t = trace_.Now();
  const std::int32_t result =
      inner_.SetupDiGetDevicePropertyW(deviceInfoSet, interfaceData, physicalDevice);
  Record(
      t, "SetupDiGetDevicePropertyW",
      TraceFields{{"physical", result != 0 ? TraceFields(physicalDevice) : TraceFields(nullptr)}},
      result, result == 0);
  return result;
}

std::int32_t TracingPlatform::CM_Get_DevNode_PropertyW(Handle deviceInfoSet,
                                                       const SpDeviceInterfaceData& interfaceData,
                                                       std::string& location) {
  const std::int64_t t = trace_.Now();
  const std::int32_t result =
      inner_.CM_Get_DevNode_PropertyW(deviceInfoSet, interfaceData, location);
  Record(t, "CM_Get_DevNode_PropertyW",
         TraceFields{{"location", result != 0 ? TraceFields(location) : TraceFields(nullptr)}},
         result, result == 0);
  return result;
}

Handle TracingPlatform::CreateFileA(const char* path, std::uint32_t desiredAccess,
                                    std::uint32_t shareMode, const SecurityAttributes* security,
                                    std::uint32_t creationDisposition, std::uint32_t flags,
                                    Handle templateFile) {
  const std::int64_t t = trace_.Now();
  const Handle result = inner_.CreateFileA(path, desiredAccess, shareMode, security,
                                           creationDisposition, flags, templateFile);
  Record(t, "CreateFileA",
         TraceFields{{"path", path != nullptr ? TraceFields(path) : TraceFields(nullptr)},
                     {"overlapped", (flags & FileFlagOverlapped) != 0}},
         result, result == InvalidHandle);
  return result;
}

std::int32_t TracingPlatform::CloseHandle(Handle handle) {
  const std::int64_t t = trace_.Now();
  const std::int32_t result = inner_.CloseHandle(handle);
  // Closing a field that holds 0 or -1 fails by design.
  const bool closable = handle != 0 && handle != InvalidHandle;
  Record(t, "CloseHandle", TraceFields{{"handle", handle}}, result, result == 0 && closable);
  return result;
}

std::int32_t TracingPlatform::HidD_GetAttributes(Handle device, HiddAttributes& attributes) {
  const std::int64_t t = trace_.Now();
  const std::int32_t result = inner_.HidD_GetAttributes(device, attributes);
  Record(t, "HidD_GetAttributes",
         TraceFields{{"handle", device},
                     {"vendor", attributes.VendorID},
                     {"product", attributes.ProductID},
                     {"version", attributes.VersionNumber}},
         result, result == 0 && device != InvalidHandle);
  return result;
}

std::int32_t TracingPlatform::HidD_GetPreparsedData(Handle device, Handle& preparsedData) {
  const std::int64_t t = trace_.Now();
  const std::int32_t result = inner_.HidD_GetPreparsedData(device, preparsedData);
  Record(t, "HidD_GetPreparsedData",
         TraceFields{{"handle", device}, {"preparsed", result != 0 ? preparsedData : 0}}, result,
         result == 0);
  return result;
}

std::int32_t TracingPlatform::HidP_GetCaps(Handle preparsedData, HidpCaps& capabilities) {
  const std::int64_t t = trace_.Now();
  const std::int32_t result = inner_.HidP_GetCaps(preparsedData, capabilities);
  TraceFields args{{"preparsed", preparsedData},
                   {"feature_report_length", capabilities.FeatureReportByteLength}};
  // The HID class library gives a status, not a system error: the status is the reason.
  if (result != HidpStatusSuccess) {
    char status[32];
    std::snprintf(status, sizeof status, "HIDP status 0x%08x", static_cast<unsigned>(result));
    args["os_error"] = status;
  }
  Record(t, "HidP_GetCaps", std::move(args), result == HidpStatusSuccess ? result : 0, false);
  return result;
}

std::int32_t TracingPlatform::HidD_FreePreparsedData(Handle preparsedData) {
  const std::int64_t t = trace_.Now();
  const std::int32_t result = inner_.HidD_FreePreparsedData(preparsedData);
  Record(t, "HidD_FreePreparsedData", TraceFields{{"preparsed", preparsedData}}, result,
         result == 0);
  return result;
}

std::int32_t TracingPlatform::HidD_SetFeature(Handle device, const std::uint8_t* buffer,
                                              std::uint32_t length) {
  const std::int64_t t = trace_.Now();
  const std::int32_t result = inner_.HidD_SetFeature(device, buffer, length);
  Record(t, "HidD_SetFeature",
         TraceFields{{"handle", device}, {"length", length}, {"data", HexOrNull(buffer, length)}},
         result, result == 0);
  return result;
}

std::int32_t TracingPlatform::HidD_GetFeature(Handle device, std::uint8_t* buffer,
                                              std::uint32_t length) {
  const std::int64_t t = trace_.Now();
  const std::int32_t result = inner_.HidD_GetFeature(device, buffer, length);
  Record(t, "HidD_GetFeature",
         TraceFields{{"handle", device}, {"length", length}, {"data", HexOrNull(buffer, length)}},
         result, result == 0);
  return result;
}

std::int32_t TracingPlatform::StringQuery(std::string_view fn,
                                          std::int32_t (HidPlatform::*query)(Handle, void*,
                                                                             std::uint32_t),
                                          Handle device, void* buffer, std::uint32_t length) {
  const std::int64_t t = trace_.Now();
  const std::int32_t result = (inner_.*query)(device, buffer, length);
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  const std::size_t shown = result != 0 && bytes != nullptr ? StringBytes(bytes, length) : 0;
  Record(
      t, fn,
      TraceFields{{"handle", device}, {"length", length}, {"data", TraceWriter::Hex(bytes, shown)}},
      result, result == 0);
  return result;
}

std::int32_t TracingPlatform::HidD_GetManufacturerString(Handle device, void* buffer,
                                                         std::uint32_t length) {
  return StringQuery("HidD_GetManufacturerString", &HidPlatform::HidD_GetManufacturerString, device,
                     buffer, length);
}

std::int32_t TracingPlatform::HidD_GetProductString(Handle device, void* buffer,
                                                    std::uint32_t length) {
  return StringQuery("HidD_GetProductString", &HidPlatform::HidD_GetProductString, device, buffer,
                     length);
}

std::int32_t TracingPlatform::HidD_GetSerialNumberString(Handle device, void* buffer,
                                                         std::uint32_t length) {
  return StringQuery("HidD_GetSerialNumberString", &HidPlatform::HidD_GetSerialNumberString, device,
                     buffer, length);
}

// Pauses are written before they start, with the time they were asked for.
void TracingPlatform::Sleep(std::uint32_t milliseconds) {
  trace_.Call("Sleep", TraceFields{{"ms", milliseconds}}, nullptr);
  inner_.Sleep(milliseconds);
}

void TracingPlatform::SleepUntil(std::int64_t deadlineMicroseconds) {
  const std::int64_t left =
      std::max<std::int64_t>(0, deadlineMicroseconds - inner_.SteadyMicroseconds());
  trace_.Call("Sleep", TraceFields{{"ms", (left + 999) / 1000}}, nullptr);
  inner_.SleepUntil(deadlineMicroseconds);
}

}  // namespace dalvorn
