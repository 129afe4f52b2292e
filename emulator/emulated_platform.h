// The platform operations over an emulated host: its plain HID interfaces and the emulated
// device, as a scenario describes them. Every operation is written to the trace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "device/hid_platform.h"
#include "emulated_device.h"
#include "emulation_clock.h"
#include "scenario.h"
#include "trace/trace_writer.h"

namespace dalvorn::emulator {

// The SHA-256 of `size` bytes at `data` in lower-case hexadecimal, as the device's flash line
// gives it: the system's cryptography, the signature check's (the system's reason when it fails).
std::string Sha256Hex(const std::uint8_t* data, std::size_t size);
inline std::string Sha256Hex(const std::vector<std::uint8_t>& data) {
  return Sha256Hex(data.data(), data.size());
}

class EmulatedPlatform final : public HidPlatform {
 public:
  EmulatedPlatform(const Scenario& scenario, EmulationClock& clock, TraceWriter& trace,
                   std::string programFolder);
  EmulatedPlatform(const EmulatedPlatform&) = delete;
  EmulatedPlatform& operator=(const EmulatedPlatform&) = delete;
  ~EmulatedPlatform() override;

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
  std::int64_t SteadyMicroseconds() override { return clock_.NowUs(); }
  void SleepUntil(std::int64_t deadlineMicroseconds) override;
  std::string ProgramFolder() override { return programFolder_; }
  // ErrorDeviceNotConnected after an operation on a handle whose device has left.
  std::uint32_t LastErrorCode() override { return lastErrorCode_; }

  const EmulatedDevice& Device() const { return device_; }
  // Writes the `flash` line: every data-block record the device accepted, counted and hashed.
  void WriteFlashLine();

  // The paths the host gives its interfaces.
  const std::string& PlainPath(std::size_t plainIndex) const { return plainPaths_.at(plainIndex); }
  static std::string DevicePath(DeviceMode mode);
  // Handles, sets and preparsed data not yet released.
  std::size_t OpenObjectCount() const { return objects_.size(); }

 private:
  static constexpr std::size_t kDevice = static_cast<std::size_t>(-1);

  struct InterfaceSet {
    std::vector<std::size_t> members;  // plain index or kDevice
    std::string devicePath;            // as it was when the set was made
  };
  struct OpenFile {
    std::size_t target;
    // Of the device, for its own interfaces and plain interfaces of it ("physical": "target");
    // 0 for other plain interfaces.
    std::uint64_t appearance;
  };
  struct Preparsed {
    std::uint16_t featureReportLength;
  };
  using Object = std::variant<InterfaceSet, OpenFile, Preparsed>;

  void Sync();
  // Writes an operation's line; the device events it caused follow with the next Sync.
  void Record(std::string_view fn, const TraceFields& args, const TraceFields& result);
  Handle NewHandle(Object object);
  template <class T>
  T* Find(Handle handle) {
    const auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : std::get_if<T>(&it->second);
  }
  OpenFile* LiveFile(Handle handle);
  // Whether the host lists the plain interface now: plugged in and not yet unplugged, and for a
  // second interface of the device, while the device is present.
  bool PlainPresent(const PlainInterface& plain) const;
  bool TakesReports(const OpenFile& file) const;
  std::int32_t StringQuery(const char* fn, Handle device, void* buffer, std::uint32_t length,
                           DeviceString DeviceStrings::*which);

  Scenario scenario_;
  EmulationClock& clock_;
  TraceWriter& trace_;
  std::string programFolder_;
  EmulatedDevice device_;
  // Plain interfaces never change: their paths are made once, and an open finds its interface
  // by path at once however many there are.
  std::vector<std::string> plainPaths_;
  std::unordered_map<std::string, std::size_t> plainByPath_;
  std::map<Handle, Object> objects_;
  Handle nextHandle_;
  bool recording_ = false;
  std::uint32_t lastErrorCode_ = ErrorSuccess;
};

}  // namespace dalvorn::emulator
