// The platform operations of another backend with every operation written to the trace, in
// the lines and fields the emulated platform writes, plus `os_error` on a failed one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "device/hid_platform.h"
#include "trace/trace_writer.h"

namespace dalvorn {

class TracingPlatform final : public HidPlatform {
 public:
  TracingPlatform(HidPlatform& inner, TraceWriter& trace) : inner_(inner), trace_(trace) {}

  void HidD_GetHidGuid(Guid& hidGuid) override;
  Handle SetupDiGetClassDevsA(const Guid& classGuid, const char* enumerator, Handle parentWindow,
                              std::uint32_t flags) override;
  std::int32_t SetupDiEnumDeviceInterfaces(Handle deviceInfoSet, const void* deviceInfoData,
                                           const Guid& classGuid, std::int32_t memberIndex,
                                           SpDeviceInterfaceData& interfaceData) override;
  std::int32_t SetupDiGetDeviceInterfaceDetailA(Handle deviceInfoSet,
                                                const SpDeviceInterfaceData& interfaceData,
                                                std::uint8_t* detailBuffer, std::int32_t detailSize,
                                                std::int32_t* requiredSize,
                                                void* deviceInfoData) override;
  std::int32_t SetupDiDestroyDeviceInfoList(Handle deviceInfoSet) override;
  std::int32_t SetupDiGetDevicePropertyW(Handle deviceInfoSet,
                                         const SpDeviceInterfaceData& interfaceData,
                                         std::string& physicalDevice) override;
  std::int32_t CM_Get_DevNode_PropertyW(Handle deviceInfoSet,
                                        const SpDeviceInterfaceData& interfaceData,
                                        std::string& location) override;
  Handle CreateFileA(const char* path, std::uint32_t desiredAccess, std::uint32_t shareMode,
                     const SecurityAttributes* security, std::uint32_t creationDisposition,
                     std::uint32_t flags, Handle templateFile) override;
  std::int32_t CloseHandle(Handle handle) override;
  std::int32_t HidD_GetAttributes(Handle device, HiddAttributes& attributes) override;
  std::int32_t HidD_GetPreparsedData(Handle device, Handle& preparsedData) override;
  std::int32_t HidP_GetCaps(Handle preparsedData, HidpCaps& capabilities) override;
  std::int32_t HidD_FreePreparsedData(Handle preparsedData) override;
  std::int32_t HidD_SetFeature(Handle device, const std::uint8_t* buffer,
                               std::uint32_t length) override;
  std::int32_t HidD_GetFeature(Handle device, std::uint8_t* buffer, std::uint32_t length) override;
  std::int32_t HidD_GetManufacturerString(Handle device, void* buffer,
                                          std::uint32_t length) override;
  std::int32_t HidD_GetProductString(Handle device, void* buffer, std::uint32_t length) override;
  std::int32_t HidD_GetSerialNumberString(Handle device, void* buffer,
                                          std::uint32_t length) override;
  void Sleep(std::uint32_t milliseconds) override;
  std::int64_t SteadyMicroseconds() override { return inner_.SteadyMicroseconds(); }
  void SleepUntil(std::int64_t deadlineMicroseconds) override;
  std::string ProgramFolder() override { return inner_.ProgramFolder(); }
  std::string LastOsError() override { return inner_.LastOsError(); }
  // The backend's code as it was right after the failed operation, before its line was written.
  std::uint32_t LastErrorCode() override { return lastErrorCode_; }

  // The bytes a string query gave, as the trace shows them: up to and including the first
  // zero unit, or all `length` bytes when there is none.
  static std::size_t StringBytes(const std::uint8_t* buffer, std::uint32_t length);

 private:
  // Writes the line of an operation called at `t`; a failed one carries the backend's reason.
  void Record(std::int64_t t, std::string_view fn, TraceFields args, const TraceFields& result,
              bool failed);
  std::int32_t StringQuery(std::string_view fn,
                           std::int32_t (HidPlatform::*query)(Handle, void*, std::uint32_t),
                           Handle device, void* buffer, std::uint32_t length);

  HidPlatform& inner_;
  TraceWriter& trace_;
  std::uint32_t lastErrorCode_ = ErrorSuccess;
};

}  // namespace dalvorn
