#include "emulated_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "device/device_codes.h"
#include "device/hid_guid.h"
#include "update/signature_crypto.h"

namespace dalvorn::emulator {
namespace {

constexpr Handle kFirstHandle = 100;
constexpr Handle kHandleStep = 4;
constexpr std::uint32_t kSpintActive = 1;
constexpr const char* kClassSuffix = "#{4d1e55b2-f16f-11cf-88cb-001111000030}";

const char* ModeName(DeviceMode mode) {
  return mode == DeviceMode::App ? "app" : "boot";
}

std::string MakePlainPath(const PlainInterface& plain, std::size_t plainIndex) {
  char text[96];
  std::snprintf(text, sizeof text, "\\\\?\\hid#vid_%04x&pid_%04x#7&%x&0&%04x", plain.vendor,
                plain.product, 0x3a1c00u + static_cast<unsigned>(plainIndex),
                static_cast<unsigned>(plainIndex));
  return text + std::string(kClassSuffix);
}

}  // namespace

std::string Sha256Hex(const std::uint8_t* data, std::size_t size) {
  Sha256Digest digest{};
  std::string error;
  if (!Sha256(data, size, digest, error)) return "failed: " + error;
  return TraceWriter::Hex(digest.data(), digest.size());
}

EmulatedPlatform::EmulatedPlatform(const Scenario& scenario, EmulationClock& clock,
                                   TraceWriter& trace, std::string programFolder)
    : scenario_(scenario),
      clock_(clock),
      trace_(trace),
      programFolder_(std::move(programFolder)),
      device_(scenario.device),
      nextHandle_(kFirstHandle) {
  plainPaths_.reserve(scenario_.interfaces.size());
  plainByPath_.reserve(scenario_.interfaces.size());
  for (std::size_t i = 0; i < scenario_.interfaces.size(); ++i) {
    plainPaths_.push_back(MakePlainPath(scenario_.interfaces[i], i));
    plainByPath_.emplace(plainPaths_.back(), i);
  }
  // In real time the device's timeline moves on between the program's calls too.
  if (clock_.RealTime()) {
    trace_.SetBeforeEachLine([this] {
      if (!recording_) Sync();
    });
  }
}

EmulatedPlatform::~EmulatedPlatform() {
  if (clock_.RealTime()) trace_.SetBeforeEachLine(nullptr);
}

std::string EmulatedPlatform::DevicePath(DeviceMode mode) {
  char text[96];
  std::snprintf(text, sizeof text, "\\\\?\\hid#vid_%04x&pid_%04x#8&%s&0&0000", DeviceVendorID,
                mode == DeviceMode::App ? AppProductID : BootProductID,
                mode == DeviceMode::App ? "2f0d61b" : "15e9c4a");
  return text + std::string(kClassSuffix);
}

void EmulatedPlatform::Sync() {
  device_.AdvanceTo(clock_.NowMs());
  for (const DeviceEvent& event : device_.TakeEvents()) {
    switch (event.kind) {
      case DeviceEvent::Kind::Left:
        trace_.Device(event.t, "left");
        break;
      case DeviceEvent::Kind::Arrived:
        trace_.Device(event.t, "arrived", TraceFields{{"mode", ModeName(event.mode)}});
        break;
      case DeviceEvent::Kind::Unlocked:
        trace_.Device(event.t, "unlocked");
        break;
    }
  }
}

void EmulatedPlatform::Record(std::string_view fn, const TraceFields& args,
                              const TraceFields& result) {
  recording_ = true;
  trace_.Call(fn, args, result);
  recording_ = false;
}

Handle EmulatedPlatform::NewHandle(Object object) {
  Handle handle = nextHandle_;
  if (scenario_.reuseHandles) {
    handle = kFirstHandle;
    while (objects_.count(handle) != 0) handle += kHandleStep;
  } else {
    nextHandle_ += kHandleStep;
  }
  objects_.emplace(handle, std::move(object));
  return handle;
}

// An open handle whose interface is still there; a device that has left, or has come back
// since, and a plain interface unplugged, fail every operation on the handles opened to them.
EmulatedPlatform::OpenFile* EmulatedPlatform::LiveFile(Handle handle) {
  lastErrorCode_ = ErrorGenFailure;
  OpenFile* file = Find<OpenFile>(handle);
  if (file == nullptr) return nullptr;
  bool live = true;
  if (file->target != kDevice) {
    const PlainInterface& plain = scenario_.interfaces[file->target];
    live = PlainPresent(plain) &&
           (plain.physical != TargetPhysical || file->appearance == device_.Appearance());
  } else {
    live = device_.Present() && file->appearance == device_.Appearance();
  }
  if (!live) lastErrorCode_ = ErrorDeviceNotConnected;
  return live ? file : nullptr;
}

bool EmulatedPlatform::PlainPresent(const PlainInterface& plain) const {
  const std::int64_t now = clock_.NowMs();
  if (plain.pluggedAtMs && now < *plain.pluggedAtMs) return false;
  if (plain.unpluggedAtMs && now >= *plain.unpluggedAtMs) return false;
  return plain.physical != TargetPhysical || device_.Present();
}

// Plain interfaces that carry the device's identity take every feature report.
bool EmulatedPlatform::TakesReports(const OpenFile& file) const {
  if (file.target == kDevice) return true;
  const PlainInterface& plain = scenario_.interfaces[file.target];
  return plain.vendor == DeviceVendorID &&
         (plain.product == AppProductID || plain.product == BootProductID);
}

void EmulatedPlatform::HidD_GetHidGuid(Guid& hidGuid) {
  Sync();
  hidGuid = HidClassGuid;
  Record("HidD_GetHidGuid", TraceFields::object(), nullptr);
}

Handle EmulatedPlatform::SetupDiGetClassDevsA(const Guid& classGuid, const char* /*enumerator*/,
                                              Handle /*parentWindow*/, std::uint32_t flags) {
  Sync();
  Handle result = InvalidHandle;
  if (SameGuid(classGuid, HidClassGuid) && (flags & DigcfDeviceInterface) != 0) {
    InterfaceSet set;
    set.members.reserve(scenario_.interfaces.size() + 1);
    const auto addDevice = [&] {
      if (!device_.Present()) return;
      set.members.push_back(kDevice);
      set.devicePath = DevicePath(device_.Mode());
    };
    for (std::size_t i = 0; i < scenario_.interfaces.size(); ++i) {
      if (i == scenario_.devicePosition) addDevice();
      // Plain interfaces while plugged in; the device's other interfaces come and go with it.
      if (PlainPresent(scenario_.interfaces[i])) set.members.push_back(i);
    }
    if (scenario_.devicePosition >= scenario_.interfaces.size()) addDevice();
    result = NewHandle(std::move(set));
  }
  Record("SetupDiGetClassDevsA", TraceFields::object(), result);
  return result;
}

std::int32_t EmulatedPlatform::SetupDiEnumDeviceInterfaces(Handle deviceInfoSet,
                                                           const void* /*deviceInfoData*/,
                                                           const Guid& classGuid,
                                                           std::int32_t memberIndex,
                                                           SpDeviceInterfaceData& interfaceData) {
  Sync();
  std::int32_t result = 0;
  const InterfaceSet* set = Find<InterfaceSet>(deviceInfoSet);
  if (set != nullptr && SameGuid(classGuid, HidClassGuid) && memberIndex >= 0 &&
      static_cast<std::size_t>(memberIndex) < set->members.size() &&
      interfaceData.cbSize == SpDeviceInterfaceDataSize) {
    interfaceData.InterfaceClassGuid = HidClassGuid;
    interfaceData.Flags = kSpintActive;
    interfaceData.Reserved = static_cast<std::uintptr_t>(memberIndex) + 1;
    result = 1;
  }
  Record("SetupDiEnumDeviceInterfaces", TraceFields{{"index", memberIndex}}, result);
  return result;
}

std::int32_t EmulatedPlatform::SetupDiGetDeviceInterfaceDetailA(
    Handle deviceInfoSet, const SpDeviceInterfaceData& interfaceData, std::uint8_t* detailBuffer,
    std::int32_t detailSize, std::int32_t* requiredSize, void* /*deviceInfoData*/) {
  Sync();
  std::int32_t result = 0;
  const InterfaceSet* set = Find<InterfaceSet>(deviceInfoSet);
  const std::uintptr_t ref = interfaceData.Reserved;
  if (set != nullptr && ref >= 1 && ref <= set->members.size()) {
    const std::size_t target = set->members[ref - 1];
    const bool vanished = target != kDevice && scenario_.interfaces[target].vanishes;
    const std::string& path = target == kDevice ? set->devicePath : plainPaths_[target];
    const auto needed =
        vanished ? 0 : static_cast<std::int32_t>(InterfaceDetailPathOffset + path.size() + 1);
    if (requiredSize != nullptr) *requiredSize = needed;
    // The size field is only read from a buffer that holds it, and the path is only written
    // into one that holds all of it.
    if (!vanished && detailBuffer != nullptr && detailSize >= needed) {
      std::int32_t sizeField = 0;
      for (std::size_t i = 0; i < 4; ++i) {
        sizeField |= static_cast<std::int32_t>(detailBuffer[i]) << (8 * i);
      }
      if (sizeField == InterfaceDetailSizeField) {
        std::memcpy(detailBuffer + InterfaceDetailPathOffset, path.c_str(), path.size() + 1);
        result = 1;
      }
    }
  }
  Record("SetupDiGetDeviceInterfaceDetailA",
         TraceFields{{"size", detailSize},
                     {"needed",
                      requiredSize != nullptr ? TraceFields(*requiredSize) : TraceFields(nullptr)}},
         result);
  return result;
}

std::int32_t EmulatedPlatform::SetupDiDestroyDeviceInfoList(Handle deviceInfoSet) {
  Sync();
  std::int32_t result = 0;
  if (Find<InterfaceSet>(deviceInfoSet) != nullptr) {
    objects_.erase(deviceInfoSet);
    result = 1;
  }
  Record("SetupDiDestroyDeviceInfoList", TraceFields{{"set", deviceInfoSet}}, result);
  return result;
}

std::int32_t EmulatedPlatform::SetupDiGetDevicePropertyW(Handle deviceInfoSet,
                                                         const SpDeviceInterfaceData& interfaceData,
                                                         std::string& physicalDevice) {
  Sync();
  std::int32_t result = 0;
  physicalDevice.clear();
  const InterfaceSet* set = Find<InterfaceSet>(deviceInfoSet);
  const std::uintptr_t ref = interfaceData.Reserved;
  if (set != nullptr && ref >= 1 && ref <= set->members.size()) {
    const std::size_t target = set->members[ref - 1];
    if (target == kDevice) {
      physicalDevice = TargetPhysical;
      result = 1;
    } else if (!scenario_.interfaces[target].physicalQueryFails) {
      physicalDevice = scenario_.interfaces[target].physical.value_or(plainPaths_[target]);
      result = 1;
    }
  }
  Record(
      "SetupDiGetDevicePropertyW",
      TraceFields{{"physical", result != 0 ? TraceFields(physicalDevice) : TraceFields(nullptr)}},
      result);
  return result;
}

// The location of an interface is the physical device it belongs to: the device's own
// interfaces are at "target" wherever it re-enumerates, a plain interface at its `physical` or
// on its own.
std::int32_t EmulatedPlatform::CM_Get_DevNode_PropertyW(Handle deviceInfoSet,
                                                        const SpDeviceInterfaceData& interfaceData,
                                                        std::string& location) {
  Sync();
  std::int32_t result = 0;
  location.clear();
  const InterfaceSet* set = Find<InterfaceSet>(deviceInfoSet);
  const std::uintptr_t ref = interfaceData.Reserved;
  if (set != nullptr && ref >= 1 && ref <= set->members.size()) {
    const std::size_t target = set->members[ref - 1];
    if (target == kDevice) {
      if (!scenario_.device.locationFails) location = TargetPhysical;
    } else if (const PlainInterface& plain = scenario_.interfaces[target]; !plain.locationFails) {
      location = plain.physical.value_or(plainPaths_[target]);
    }
    result = location.empty() ? 0 : 1;
  }
  Record("CM_Get_DevNode_PropertyW",
         TraceFields{{"location", result != 0 ? TraceFields(location) : TraceFields(nullptr)}},
         result);
  return result;
}

Handle EmulatedPlatform::CreateFileA(const char* path, std::uint32_t /*desiredAccess*/,
                                     std::uint32_t /*shareMode*/,
                                     const SecurityAttributes* /*security*/,
                                     std::uint32_t /*creationDisposition*/, std::uint32_t flags,
                                     Handle /*templateFile*/) {
  Sync();
  const bool overlapped = (flags & FileFlagOverlapped) != 0;
  const std::string wanted = path != nullptr ? path : "";
  Handle result = InvalidHandle;
  if (!wanted.empty()) {
    if (device_.Present() && wanted == DevicePath(device_.Mode())) {
      if (!(overlapped && device_.OverlappedOpenFails())) {
        result = NewHandle(OpenFile{kDevice, device_.Appearance()});
        device_.HandleOpened();
      }
    } else if (const auto it = plainByPath_.find(wanted); it != plainByPath_.end()) {
      const PlainInterface& plain = scenario_.interfaces[it->second];
      if (plain.openable && !plain.vanishes && PlainPresent(plain)) {
        const bool ofTheDevice = plain.physical == TargetPhysical;
        result = NewHandle(OpenFile{it->second, ofTheDevice ? device_.Appearance() : 0});
      }
    }
  }
  Record("CreateFileA",
         TraceFields{{"path", path != nullptr ? TraceFields(wanted) : TraceFields(nullptr)},
                     {"overlapped", overlapped}},
         result);
  Sync();
  return result;
}

std::int32_t EmulatedPlatform::CloseHandle(Handle handle) {
  Sync();
  std::int32_t result = 0;
  if (const OpenFile* file = Find<OpenFile>(handle)) {
    const bool toPresentDevice =
        file->target == kDevice && device_.Present() && file->appearance == device_.Appearance();
    objects_.erase(handle);
    result = 1;
    if (toPresentDevice) device_.HandleClosed(clock_.NowMs());
  }
  Record("CloseHandle", TraceFields{{"handle", handle}}, result);
  Sync();
  return result;
}

void EmulatedPlatform::Sleep(std::uint32_t milliseconds) {
  Sync();
  Record("Sleep", TraceFields{{"ms", milliseconds}}, nullptr);
  clock_.Sleep(milliseconds);
  Sync();
}

void EmulatedPlatform::SleepUntil(std::int64_t deadlineMicroseconds) {
  Sync();
  const std::int64_t left = std::max<std::int64_t>(0, deadlineMicroseconds - clock_.NowUs());
  const auto milliseconds = static_cast<std::uint32_t>((left + 999) / 1000);
  Record("Sleep", TraceFields{{"ms", milliseconds}}, nullptr);
  // In virtual time the pause is the whole milliseconds recorded, as a Sleep of them is.
  if (clock_.RealTime()) {
    clock_.SleepUntilUs(deadlineMicroseconds);
  } else {
    clock_.Sleep(milliseconds);
  }
  Sync();
}

void EmulatedPlatform::WriteFlashLine() {
  Sync();
  trace_.Device(
      clock_.NowMs(), "flash",
      TraceFields{{"bytes", device_.Flash().size()}, {"sha256", Sha256Hex(device_.Flash())}});
}

}  // namespace dalvorn::emulator
