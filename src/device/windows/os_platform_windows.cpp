// The platform operations on Windows: SetupAPI, hid.dll and kernel32, called directly.
//
// The program's records are those of 32-bit Windows (interface data 28 bytes, detail size
// field 5); this backend hands the system records of the system's own sizes and translates.
// Every handle it gives out is remembered in a table of its kind, so that closing or
// releasing a value twice, or a value it never gave out, fails without reaching the system.
#include "device/os_platform.h"
#include "device/windows/interface_detail.h"
#include "device/windows/physical_device.h"
#include "text/text_codec.h"

// The system headers come after the program's own, so that those never lean on windows.h.
#include <windows.h>

#include <setupapi.h>
extern "C" {
#include <hidsdi.h>  // and hidpi.h; declared without C linkage
}

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace dalvorn {
namespace {

GUID ToSystem(const Guid& g) {
  GUID out;
  out.Data1 = g.Data1;
  out.Data2 = g.Data2;
  out.Data3 = g.Data3;
  std::copy(std::begin(g.Data4), std::end(g.Data4), std::begin(out.Data4));
  return out;
}

Guid FromSystem(const GUID& g) {
  Guid out;
  out.Data1 = g.Data1;
  out.Data2 = g.Data2;
  out.Data3 = g.Data3;
  std::copy(std::begin(g.Data4), std::end(g.Data4), std::begin(out.Data4));
  return out;
}

HidpCaps FromSystem(const HIDP_CAPS& c) {
  HidpCaps out;
  out.Usage = c.Usage;
  out.UsagePage = c.UsagePage;
  out.InputReportByteLength = c.InputReportByteLength;
  out.OutputReportByteLength = c.OutputReportByteLength;
  out.FeatureReportByteLength = c.FeatureReportByteLength;
  out.NumberLinkCollectionNodes = c.NumberLinkCollectionNodes;
  out.NumberInputButtonCaps = c.NumberInputButtonCaps;
  out.NumberInputValueCaps = c.NumberInputValueCaps;
  out.NumberInputDataIndices = c.NumberInputDataIndices;
  out.NumberOutputButtonCaps = c.NumberOutputButtonCaps;
  out.NumberOutputValueCaps = c.NumberOutputValueCaps;
  out.NumberOutputDataIndices = c.NumberOutputDataIndices;
  out.NumberFeatureButtonCaps = c.NumberFeatureButtonCaps;
  out.NumberFeatureValueCaps = c.NumberFeatureValueCaps;
  out.NumberFeatureDataIndices = c.NumberFeatureDataIndices;
  return out;
}

HANDLE ToHandle(Handle value) {
  return reinterpret_cast<HANDLE>(value);
}

Handle FromHandle(HANDLE handle) {
  return reinterpret_cast<Handle>(handle);
}

class WindowsHidPlatform final : public HidPlatform {
 public:
  WindowsHidPlatform() = default;
  WindowsHidPlatform(const WindowsHidPlatform&) = delete;
  WindowsHidPlatform& operator=(const WindowsHidPlatform&) = delete;

  ~WindowsHidPlatform() override {
    for (auto& [id, data] : preparsed_) ::HidD_FreePreparsedData(data);
    for (HDEVINFO set : sets_) ::SetupDiDestroyDeviceInfoList(set);
    if (timer_ != nullptr) ::CloseHandle(timer_);
    // Open device handles belong to the program, which closes them itself; the system closes
    // whatever is left when the process ends.
  }

  void HidD_GetHidGuid(Guid& hidGuid) override {
    GUID g;
    ::HidD_GetHidGuid(&g);
    hidGuid = FromSystem(g);
  }

  Handle SetupDiGetClassDevsA(const Guid& classGuid, const char* enumerator, Handle parentWindow,
                              std::uint32_t flags) override {
    const GUID g = ToSystem(classGuid);
    HDEVINFO set =
        ::SetupDiGetClassDevsA(&g, enumerator, reinterpret_cast<HWND>(parentWindow), flags);
    if (set == INVALID_HANDLE_VALUE) return InvalidHandle;
    sets_.insert(set);
    return FromHandle(set);
  }

  std::int32_t SetupDiEnumDeviceInterfaces(Handle deviceInfoSet, const void* /*deviceInfoData*/,
                                           const Guid& classGuid, std::int32_t memberIndex,
                                           SpDeviceInterfaceData& interfaceData) override {
    HDEVINFO set = KnownSet(deviceInfoSet);
    if (set == nullptr || interfaceData.cbSize != SpDeviceInterfaceDataSize || memberIndex < 0) {
      ::SetLastError(set == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
      return 0;
    }
    const GUID g = ToSystem(classGuid);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    if (!::SetupDiEnumDeviceInterfaces(set, nullptr, &g, static_cast<DWORD>(memberIndex), &data)) {
      return 0;
    }
    // The system's record travels in the program's: the same fields, with the program's size.
    interfaceData.InterfaceClassGuid = FromSystem(data.InterfaceClassGuid);
    interfaceData.Flags = data.Flags;
    interfaceData.Reserved = data.Reserved;
    return 1;
  }

  std::int32_t SetupDiGetDeviceInterfaceDetailA(Handle deviceInfoSet,
                                                const SpDeviceInterfaceData& interfaceData,
                                                std::uint8_t* detailBuffer, std::int32_t detailSize,
                                                std::int32_t* requiredSize,
                                                void* /*deviceInfoData*/) override {
    HDEVINFO set = KnownSet(deviceInfoSet);
    if (set == nullptr || interfaceData.cbSize != SpDeviceInterfaceDataSize) {
      ::SetLastError(set == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_USER_BUFFER);
      if (requiredSize != nullptr) *requiredSize = 0;
      return 0;
    }
    std::string path;
    if (!ReadSystemInterfaceDetail(set, SystemInterfaceData(interfaceData), path, nullptr)) {
      if (requiredSize != nullptr) *requiredSize = 0;
      return 0;
    }
    const std::int32_t result = FillInterfaceDetail(path, detailBuffer, detailSize, requiredSize);
    if (result == 0) ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return result;
  }

  std::int32_t SetupDiDestroyDeviceInfoList(Handle deviceInfoSet) override {
    HDEVINFO set = KnownSet(deviceInfoSet);
    if (set == nullptr) return InvalidHandleFailure();
    sets_.erase(set);
    return ::SetupDiDestroyDeviceInfoList(set) ? 1 : 0;
  }

  std::int32_t SetupDiGetDevicePropertyW(Handle deviceInfoSet,
                                         const SpDeviceInterfaceData& interfaceData,
                                         std::string& physicalDevice) override {
    physicalDevice.clear();
    HDEVINFO set = KnownSet(deviceInfoSet);
    if (set == nullptr) return InvalidHandleFailure();
    physicalDevice = PhysicalDeviceOf(set, SystemInterfaceData(interfaceData));
    return physicalDevice.empty() ? 0 : 1;
  }

  std::int32_t CM_Get_DevNode_PropertyW(Handle deviceInfoSet,
                                        const SpDeviceInterfaceData& interfaceData,
                                        std::string& location) override {
    location.clear();
    HDEVINFO set = KnownSet(deviceInfoSet);
    if (set == nullptr) return InvalidHandleFailure();
    location = LocationOf(set, SystemInterfaceData(interfaceData));
    return location.empty() ? 0 : 1;
  }

  Handle CreateFileA(const char* path, std::uint32_t desiredAccess, std::uint32_t shareMode,
                     const SecurityAttributes* security, std::uint32_t creationDisposition,
                     std::uint32_t flags, Handle /*templateFile*/) override {
    SECURITY_ATTRIBUTES sa{};
    sa.nLength = sizeof sa;
    sa.lpSecurityDescriptor = nullptr;
    sa.bInheritHandle = security != nullptr && security->bInheritHandle != 0;
    HANDLE h = ::CreateFileA(path, desiredAccess, shareMode, security != nullptr ? &sa : nullptr,
                             creationDisposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE || h == nullptr) return InvalidHandle;
    files_.insert(h);
    return FromHandle(h);
  }

  std::int32_t CloseHandle(Handle handle) override {
    HANDLE h = ToHandle(handle);
    // 0 and -1 (the current process) are never in the table and so never reach the system.
    if (files_.erase(h) == 0) {
      ::SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
    return ::CloseHandle(h) ? 1 : 0;
  }

  std::int32_t HidD_GetAttributes(Handle device, HiddAttributes& attributes) override {
    HANDLE h = KnownFile(device);
    if (h == nullptr) return InvalidHandleFailure();
    HIDD_ATTRIBUTES a{};
    a.Size = sizeof a;
    if (!::HidD_GetAttributes(h, &a)) return 0;
    attributes.VendorID = a.VendorID;
    attributes.ProductID = a.ProductID;
    attributes.VersionNumber = a.VersionNumber;
    return 1;
  }

  std::int32_t HidD_GetPreparsedData(Handle device, Handle& preparsedData) override {
    HANDLE h = KnownFile(device);
    if (h == nullptr) return InvalidHandleFailure();
    PHIDP_PREPARSED_DATA data = nullptr;
    if (!::HidD_GetPreparsedData(h, &data) || data == nullptr) return 0;
    const Handle id = nextPreparsedId_++;
    preparsed_[id] = data;
    preparsedData = id;
    return 1;
  }

  std::int32_t HidP_GetCaps(Handle preparsedData, HidpCaps& capabilities) override {
    auto it = preparsed_.find(preparsedData);
    if (it == preparsed_.end()) return 0;  // never obtained, or already released
    HIDP_CAPS caps{};
    const NTSTATUS status = ::HidP_GetCaps(it->second, &caps);
    if (status == HIDP_STATUS_SUCCESS) capabilities = FromSystem(caps);
    return static_cast<std::int32_t>(status);
  }

  std::int32_t HidD_FreePreparsedData(Handle preparsedData) override {
    auto it = preparsed_.find(preparsedData);
    if (it == preparsed_.end()) return InvalidHandleFailure();
    const BOOLEAN freed = ::HidD_FreePreparsedData(it->second);
    preparsed_.erase(it);
    return freed ? 1 : 0;
  }

  std::int32_t HidD_SetFeature(Handle device, const std::uint8_t* buffer,
                               std::uint32_t length) override {
    HANDLE h = KnownFile(device);
    if (h == nullptr || buffer == nullptr) return InvalidHandleFailure();
    std::vector<std::uint8_t> report(buffer, buffer + length);  // the system takes a PVOID
    return ::HidD_SetFeature(h, report.data(), length) ? 1 : 0;
  }

  std::int32_t HidD_GetFeature(Handle device, std::uint8_t* buffer, std::uint32_t length) override {
    HANDLE h = KnownFile(device);
    if (h == nullptr || buffer == nullptr) return InvalidHandleFailure();
    return ::HidD_GetFeature(h, buffer, length) ? 1 : 0;
  }

  // The string queries take the buffer's length in bytes, as the program gives it.
  std::int32_t HidD_GetManufacturerString(Handle device, void* buffer,
                                          std::uint32_t length) override {
    HANDLE h = KnownFile(device);
    if (h == nullptr) return InvalidHandleFailure();
    return ::HidD_GetManufacturerString(h, buffer, length) ? 1 : 0;
  }

  std::int32_t HidD_GetProductString(Handle device, void* buffer, std::uint32_t length) override {
    HANDLE h = KnownFile(device);
    if (h == nullptr) return InvalidHandleFailure();
    return ::HidD_GetProductString(h, buffer, length) ? 1 : 0;
  }

  std::int32_t HidD_GetSerialNumberString(Handle device, void* buffer,
                                          std::uint32_t length) override {
    HANDLE h = KnownFile(device);
    if (h == nullptr) return InvalidHandleFailure();
    return ::HidD_GetSerialNumberString(h, buffer, length) ? 1 : 0;
  }

  void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }

  std::int64_t SteadyMicroseconds() override {
    LARGE_INTEGER now{}, frequency{};
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<std::int64_t>(now.QuadPart / frequency.QuadPart * 1000000 +
                                     now.QuadPart % frequency.QuadPart * 1000000 /
                                         frequency.QuadPart);
  }

  // Waits on a high-resolution timer (a plain one where the system has none) for all but the
  // last millisecond, then yields until the performance counter reaches the deadline: a plain
  // Sleep would round to the system's timer tick, up to 15.6 ms late.
  void SleepUntil(std::int64_t deadlineMicroseconds) override {
    constexpr std::int64_t Margin = 1000;
    std::int64_t left = deadlineMicroseconds - SteadyMicroseconds();
    if (left > Margin) {
      if (timer_ == nullptr) {
        timer_ =
            ::CreateWaitableTimerExW(nullptr, nullptr, HighResolutionTimerFlag, TIMER_ALL_ACCESS);
        if (timer_ == nullptr)
          timer_ = ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
      }
      LARGE_INTEGER due{};
      due.QuadPart = -(left - Margin) * 10;  // relative, in 100 ns units
      if (timer_ != nullptr && ::SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE)) {
        ::WaitForSingleObject(timer_, INFINITE);
      }
    }
    while (SteadyMicroseconds() < deadlineMicroseconds) ::SwitchToThread();
  }

  // The folder of the running executable, from the module's own path, in UTF-8: the wide
  // path names any folder, whatever the system's ANSI code page.
  std::string ProgramFolder() override {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
      const DWORD n =
          ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
      if (n == 0) return ".";
      if (n < buffer.size()) {
        const std::wstring path(buffer.data(), n);
        const std::size_t slash = path.find_last_of(L"\\/");
        if (slash == std::wstring::npos) return ".";
        return Utf8FromWide(std::wstring_view(path).substr(0, slash));
      }
      buffer.resize(buffer.size() * 2);
    }
  }

  // "GetLastError 5: Access is denied", from the thread's last error, which every failed
  // operation here leaves set.
  std::uint32_t LastErrorCode() override { return ::GetLastError(); }

  std::string LastOsError() override { return WindowsErrorText(::GetLastError()); }

 private:
  // A handle, set or preparsed-data value this backend never gave out, or has released.
  static std::int32_t InvalidHandleFailure() {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }

  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, from Windows 10 version 1803 on.
  static constexpr DWORD HighResolutionTimerFlag = 0x00000002;
  HANDLE timer_ = nullptr;

  HDEVINFO KnownSet(Handle value) const {
    HDEVINFO set = reinterpret_cast<HDEVINFO>(value);
    return sets_.count(set) != 0 ? set : nullptr;
  }

  HANDLE KnownFile(Handle value) const {
    HANDLE h = ToHandle(value);
    return files_.count(h) != 0 ? h : nullptr;
  }

  // The system's interface record that the program's carries.
  static SP_DEVICE_INTERFACE_DATA SystemInterfaceData(const SpDeviceInterfaceData& interfaceData) {
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    data.InterfaceClassGuid = ToSystem(interfaceData.InterfaceClassGuid);
    data.Flags = interfaceData.Flags;
    data.Reserved = interfaceData.Reserved;
    return data;
  }

  std::set<HDEVINFO> sets_;
  std::set<HANDLE> files_;
  std::map<Handle, PHIDP_PREPARSED_DATA> preparsed_;
  Handle nextPreparsedId_ = 1;
};

}  // namespace

std::unique_ptr<HidPlatform> MakeOsPlatform() {
  return std::make_unique<WindowsHidPlatform>();
}

}  // namespace dalvorn
