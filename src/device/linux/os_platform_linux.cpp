// The platform operations over Linux hidraw: libudev finds the interfaces and reads their
// sysfs attributes, the hidraw ioctls do the rest.
#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "device/find_the_hid.h"
#include "device/hid_guid.h"
#include "device/linux/hid_report_descriptor.h"
#include "device/linux/hidraw_sysfs.h"
#include "device/os_platform.h"
#include "text/text_codec.h"

namespace dalvorn {
namespace {

// {4D1E55B2-F16F-11CF-88CB-001111000030}, the HID device interface class.
constexpr std::uint32_t SpintActive = 0x1;
constexpr std::int32_t HidpStatusInvalidPreparsedData = static_cast<std::int32_t>(0xC0110001u);
// The largest buffer one hidraw feature ioctl can carry (its size field has 14 bits).
constexpr std::uint32_t MaxFeatureIoctlLength = (1u << 14) - 1;
// Handle values start here and are never reused, so no stale value names a live object.
constexpr Handle FirstHandle = 0x100;

struct OpenDevice {
  int fd = -1;
  std::string syspath;  // sysfs path of the hidraw interface, as found when it was opened
};

class LinuxHidPlatform final : public HidPlatform {
 public:
  LinuxHidPlatform() : udev_(udev_new()) {}
  LinuxHidPlatform(const LinuxHidPlatform&) = delete;
  LinuxHidPlatform& operator=(const LinuxHidPlatform&) = delete;
  ~LinuxHidPlatform() override {
    for (auto& [handle, device] : devices_) ::close(device.fd);
    if (udev_) udev_unref(udev_);
  }

  void HidD_GetHidGuid(Guid& hidGuid) override { hidGuid = HidClassGuid; }

  Handle SetupDiGetClassDevsA(const Guid& classGuid, const char*, Handle, std::uint32_t) override {
    if (udev_ == nullptr) {
      Failed("udev_new failed");
      return InvalidHandle;
    }
    std::vector<HidrawInterface> interfaces;
    if (SameGuid(classGuid, HidClassGuid)) interfaces = ListHidrawInterfaces(udev_);
    for (const auto& i : interfaces) knownSyspaths_[i.devnode] = i.syspath;
    const Handle h = NewHandle();
    sets_.emplace(h, std::move(interfaces));
    return h;
  }

  std::int32_t SetupDiEnumDeviceInterfaces(Handle deviceInfoSet, const void*, const Guid& classGuid,
                                           std::int32_t memberIndex,
                                           SpDeviceInterfaceData& data) override {
    const auto set = sets_.find(deviceInfoSet);
    if (set == sets_.end() || data.cbSize != SpDeviceInterfaceDataSize || memberIndex < 0 ||
        static_cast<std::size_t>(memberIndex) >= set->second.size()) {
      return 0;
    }
    data.InterfaceClassGuid = classGuid;
    data.Flags = SpintActive;
    data.Reserved = static_cast<std::uintptr_t>(memberIndex) + 1;
    return 1;
  }

  std::int32_t SetupDiGetDeviceInterfaceDetailA(Handle deviceInfoSet,
                                                const SpDeviceInterfaceData& data,
                                                std::uint8_t* detailBuffer, std::int32_t detailSize,
                                                std::int32_t* requiredSize, void*) override {
    const HidrawInterface* entry = Interface(deviceInfoSet, data);
    if (entry == nullptr) {
      if (requiredSize) *requiredSize = 0;
      return Failed("no such interface in the set");
    }
    const std::size_t needed = InterfaceDetailPathOffset + entry->devnode.size() + 1;
    if (needed > static_cast<std::size_t>(INT32_MAX)) return 0;
    if (requiredSize) *requiredSize = static_cast<std::int32_t>(needed);
    if (detailBuffer == nullptr || detailSize < 0 ||
        static_cast<std::size_t>(detailSize) < needed) {
      return Failed("the buffer is too small");
    }
    std::int32_t sizeField = 0;
    std::memcpy(&sizeField, detailBuffer, sizeof sizeField);
    if (sizeField != InterfaceDetailSizeField) return Failed("wrong size field");
    std::memcpy(detailBuffer + InterfaceDetailPathOffset, entry->devnode.c_str(),
                entry->devnode.size() + 1);
    return 1;
  }

  std::int32_t SetupDiDestroyDeviceInfoList(Handle deviceInfoSet) override {
    return sets_.erase(deviceInfoSet) != 0 ? 1 : Failed("no such set");
  }

  std::int32_t SetupDiGetDevicePropertyW(Handle deviceInfoSet, const SpDeviceInterfaceData& data,
                                         std::string& physicalDevice) override {
    physicalDevice.clear();
    const HidrawInterface* entry = Interface(deviceInfoSet, data);
    if (entry == nullptr) return Failed("no such interface in the set");
    const auto physical = ReadPhysicalDevice(udev_, entry->syspath);
    if (!physical || physical->empty()) return Failed("no USB or HID device behind the node");
    physicalDevice = *physical;
    return 1;
  }

  std::int32_t CM_Get_DevNode_PropertyW(Handle deviceInfoSet, const SpDeviceInterfaceData& data,
                                        std::string& location) override {
    location.clear();
    const HidrawInterface* entry = Interface(deviceInfoSet, data);
    if (entry == nullptr) return Failed("no such interface in the set");
    const auto usb = ReadUsbLocation(udev_, entry->syspath);
    if (!usb || usb->empty()) return Failed("no USB device behind the node: it has no location");
    location = *usb;
    return 1;
  }

  Handle CreateFileA(const char* path, std::uint32_t, std::uint32_t, const SecurityAttributes*,
                     std::uint32_t, std::uint32_t, Handle) override {
    if (path == nullptr || *path == '\0') {
      Failed("no path");
      return InvalidHandle;
    }
    // Overlapped handles carry only synchronous string queries here: both kinds open alike.
    const int fd = ::open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      const int error = errno;
      FailedErrno(error);
      ReportUnopenableDevice(path, error);
      return InvalidHandle;
    }
    OpenDevice device{fd, {}};
    // The node listed may have gone and its number been given to a device created since: its
    // sysfs entry goes before its number is freed, so one still there after the open is the
    // device opened.
    if (const auto known = knownSyspaths_.find(path);
        known != knownSyspaths_.end() && SysfsDeviceExists(udev_, known->second)) {
      device.syspath = known->second;
    } else if (const auto found = FindHidrawInterface(udev_, path)) {
      device.syspath = found->syspath;
    }
    const Handle h = NewHandle();
    devices_.emplace(h, std::move(device));
    return h;
  }

  std::int32_t CloseHandle(Handle handle) override {
    const auto it = devices_.find(handle);
    if (it == devices_.end()) return Failed("not an open handle");
    ::close(it->second.fd);
    devices_.erase(it);
    return 1;
  }

  std::int32_t HidD_GetAttributes(Handle device, HiddAttributes& attributes) override {
    const OpenDevice* d = Device(device);
    if (d == nullptr) return Failed("not an open handle");
    hidraw_devinfo info{};
    if (::ioctl(d->fd, HIDIOCGRAWINFO, &info) < 0) return FailedErrno(errno);
    attributes.VendorID = static_cast<std::uint16_t>(info.vendor);
    attributes.ProductID = static_cast<std::uint16_t>(info.product);
    attributes.VersionNumber = ReadDeviceVersion(udev_, d->syspath);
    return 1;
  }

  std::int32_t HidD_GetPreparsedData(Handle device, Handle& preparsedData) override {
    const OpenDevice* d = Device(device);
    if (d == nullptr) return Failed("not an open handle");
    int size = 0;
    if (::ioctl(d->fd, HIDIOCGRDESCSIZE, &size) < 0) return FailedErrno(errno);
    if (size < 0 || size > HID_MAX_DESCRIPTOR_SIZE) {
      return Failed("report descriptor size out of range");
    }
    hidraw_report_descriptor descriptor{};
    descriptor.size = static_cast<std::uint32_t>(size);
    if (::ioctl(d->fd, HIDIOCGRDESC, &descriptor) < 0) return FailedErrno(errno);
    const auto parsed = ParseReportDescriptor(
        std::span<const std::uint8_t>(descriptor.value, static_cast<std::size_t>(size)));
    if (!parsed.ok) return Failed("the report descriptor cannot be parsed");
    preparsedData = NewHandle();
    preparsed_.emplace(preparsedData, parsed.summary);
    return 1;
  }

  std::int32_t HidP_GetCaps(Handle preparsedData, HidpCaps& caps) override {
    const auto it = preparsed_.find(preparsedData);
    if (it == preparsed_.end()) return HidpStatusInvalidPreparsedData;
    const ReportDescriptorSummary& s = it->second;
    caps = HidpCaps{};
    caps.Usage = s.usage;
    caps.UsagePage = s.usagePage;
    caps.InputReportByteLength = s.inputReportByteLength;
    caps.OutputReportByteLength = s.outputReportByteLength;
    caps.FeatureReportByteLength = s.featureReportByteLength;
    return HidpStatusSuccess;
  }

  std::int32_t HidD_FreePreparsedData(Handle preparsedData) override {
    return preparsed_.erase(preparsedData) != 0 ? 1 : Failed("no such preparsed data");
  }

  std::int32_t HidD_SetFeature(Handle device, const std::uint8_t* buffer,
                               std::uint32_t length) override {
    const OpenDevice* d = Device(device);
    if (d == nullptr || buffer == nullptr || length == 0 || length > MaxFeatureIoctlLength) {
      return Failed(d == nullptr ? "not an open handle" : "no buffer, or a length out of range");
    }
    std::vector<std::uint8_t> report(buffer, buffer + length);
    if (::ioctl(d->fd, HIDIOCSFEATURE(length), report.data()) >= 0) return 1;
    const int error = errno;
    FailedErrno(error);
    // A device unplugged during the request may fail it otherwise (EIO, EPROTO) before hidraw
    // has seen it go: the node itself then tells.
    hidraw_devinfo info{};
    if (error != ENODEV && ::ioctl(d->fd, HIDIOCGRAWINFO, &info) < 0 && errno == ENODEV) {
      lastErrorCode_ = ErrorDeviceNotConnected;
    }
    return 0;
  }

  std::int32_t HidD_GetFeature(Handle device, std::uint8_t* buffer, std::uint32_t length) override {
    const OpenDevice* d = Device(device);
    if (d == nullptr || buffer == nullptr || length == 0 || length > MaxFeatureIoctlLength) {
      return Failed(d == nullptr ? "not an open handle" : "no buffer, or a length out of range");
    }
    return ::ioctl(d->fd, HIDIOCGFEATURE(length), buffer) >= 0 ? 1 : FailedErrno(errno);
  }

  std::int32_t HidD_GetManufacturerString(Handle device, void* buffer,
                                          std::uint32_t length) override {
    return String(device, DeviceString::Manufacturer, buffer, length);
  }
  std::int32_t HidD_GetProductString(Handle device, void* buffer, std::uint32_t length) override {
    return String(device, DeviceString::Product, buffer, length);
  }
  std::int32_t HidD_GetSerialNumberString(Handle device, void* buffer,
                                          std::uint32_t length) override {
    return String(device, DeviceString::Serial, buffer, length);
  }

  void Sleep(std::uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }

  std::int64_t SteadyMicroseconds() override {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
  }

  // An absolute wait on the monotonic clock: it cannot end early, and with the thread's timer
  // slack at its least it ends within microseconds of the deadline.
  void SleepUntil(std::int64_t deadlineMicroseconds) override {
    if (!slackLowered_) {
      ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
      slackLowered_ = true;
    }
    timespec deadline{};
    deadline.tv_sec = static_cast<time_t>(deadlineMicroseconds / 1000000);
    deadline.tv_nsec = static_cast<long>(deadlineMicroseconds % 1000000) * 1000;
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
  }

  std::string LastOsError() override { return lastError_; }
  std::uint32_t LastErrorCode() override { return lastErrorCode_; }

  std::string ProgramFolder() override {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !exe.has_parent_path()) return ".";
    return exe.parent_path().string();
  }

 private:
  Handle NewHandle() { return nextHandle_++; }

  // Keep the reason of a failure for LastOsError; return the failure result, 0.
  std::int32_t Failed(const char* reason) {
    lastError_ = reason;
    lastErrorCode_ = ErrorGenFailure;
    return 0;
  }
  std::int32_t FailedErrno(int error) {
    lastError_ = ErrnoText(error);
    // hidraw answers ENODEV on a node whose device has gone; the USB core ESHUTDOWN.
    lastErrorCode_ =
        error == ENODEV || error == ESHUTDOWN ? ErrorDeviceNotConnected : ErrorGenFailure;
    return 0;
  }

  // A node of the device that cannot be opened leaves the labels blank with nothing else to
  // tell why: one line on standard error for each such node says it.
  void ReportUnopenableDevice(const char* path, int error) {
    const auto known = knownSyspaths_.find(path);
    if (known == knownSyspaths_.end() || !reportedNodes_.insert(path).second) return;
    const auto ids = ReadHidIds(udev_, known->second);
    if (!ids || !IsDeviceIdentity(ids->first, ids->second)) return;
    std::fprintf(stderr,
                 "dalvorn-firmware-update: the device's node %s cannot be opened: %s; install "
                 "the udev rule 70-dalvorn-firmware-update.rules (see the README) and replug "
                 "the device\n",
                 path, ErrnoText(error).c_str());
  }

  const OpenDevice* Device(Handle h) const {
    const auto it = devices_.find(h);
    return it == devices_.end() ? nullptr : &it->second;
  }

  const HidrawInterface* Interface(Handle set, const SpDeviceInterfaceData& data) const {
    const auto it = sets_.find(set);
    if (it == sets_.end() || data.Reserved == 0 || data.Reserved > it->second.size()) {
      return nullptr;
    }
    return &it->second[data.Reserved - 1];
  }

  std::int32_t String(Handle device, DeviceString which, void* buffer, std::uint32_t length) {
    const OpenDevice* d = Device(device);
    if (d == nullptr) return Failed("not an open handle");
    if (buffer == nullptr || d->syspath.empty()) return Failed("no buffer, or no sysfs device");
    // A node whose device has gone fails here as it fails every ioctl.
    hidraw_devinfo info{};
    if (::ioctl(d->fd, HIDIOCGRAWINFO, &info) < 0) return FailedErrno(errno);
    const auto text = ReadDeviceString(udev_, d->syspath, which);
    if (!text) return Failed("the device has no such string");
    WriteUtf16Le(*text, buffer, length);
    return 1;
  }

  udev* udev_;
  bool slackLowered_ = false;
  Handle nextHandle_ = FirstHandle;
  std::map<Handle, std::vector<HidrawInterface>> sets_;
  std::map<Handle, OpenDevice> devices_;
  std::map<Handle, ReportDescriptorSummary> preparsed_;
  // Device node to sysfs path, from the latest enumeration that listed the node.
  std::map<std::string, std::string> knownSyspaths_;
  std::set<std::string> reportedNodes_;
  std::string lastError_;
  std::uint32_t lastErrorCode_ = ErrorSuccess;
};

}  // namespace

std::unique_ptr<HidPlatform> MakeOsPlatform() {
  return std::make_unique<LinuxHidPlatform>();
}

}  // namespace dalvorn
