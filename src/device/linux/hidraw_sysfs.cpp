#include "device/linux/hidraw_sysfs.h"

#include <libudev.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace dalvorn {
namespace {

constexpr char HidrawPrefix[] = "hidraw";

// Owns one udev_device reference.
class UdevDevice {
 public:
  UdevDevice(udev* context, const std::string& syspath)
      : device_(context ? udev_device_new_from_syspath(context, syspath.c_str()) : nullptr) {}
  UdevDevice(const UdevDevice&) = delete;
  UdevDevice& operator=(const UdevDevice&) = delete;
  ~UdevDevice() {
    if (device_) udev_device_unref(device_);
  }
  udev_device* get() const { return device_; }

 private:
  udev_device* device_;
};

std::optional<std::string> Text(const char* value) {
  if (value == nullptr) return std::nullopt;
  std::string text(value);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

std::optional<unsigned> HidrawNumber(const std::string& sysname) {
  const std::size_t prefix = std::strlen(HidrawPrefix);
  if (sysname.size() <= prefix || sysname.size() > prefix + 9) return std::nullopt;
  if (sysname.compare(0, prefix, HidrawPrefix) != 0) return std::nullopt;
  unsigned n = 0;
  for (std::size_t i = prefix; i < sysname.size(); ++i) {
    if (sysname[i] < '0' || sysname[i] > '9') return std::nullopt;
    n = n * 10 + static_cast<unsigned>(sysname[i] - '0');
  }
  return n;
}

std::uint16_t ParseBcdDevice(const std::string& text) {
  if (text.empty() || text.size() > 4) return 0;
  std::uint16_t v = 0;
  for (char c : text) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return 0;
    }
    v = static_cast<std::uint16_t>((v << 4) | digit);
  }
  return v;
}

std::vector<HidrawInterface> ListHidrawInterfaces(udev* context) {
  std::vector<HidrawInterface> found;
  if (context == nullptr) return found;
  udev_enumerate* e = udev_enumerate_new(context);
  if (e == nullptr) return found;
  if (udev_enumerate_add_match_subsystem(e, "hidraw") >= 0 && udev_enumerate_scan_devices(e) >= 0) {
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e)) {
      const std::string syspath = udev_list_entry_get_name(entry);
      UdevDevice dev(context, syspath);
      if (dev.get() == nullptr) continue;
      const char* devnode = udev_device_get_devnode(dev.get());
      const char* sysname = udev_device_get_sysname(dev.get());
      const auto number = HidrawNumber(sysname ? sysname : "");
      if (devnode == nullptr || !number) continue;
      found.push_back(HidrawInterface{devnode, syspath, *number});
    }
  }
  udev_enumerate_unref(e);
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.number < b.number; });
  return found;
}

bool SysfsDeviceExists(udev* context, const std::string& syspath) {
  return UdevDevice(context, syspath).get() != nullptr;
}

std::optional<HidrawInterface> FindHidrawInterface(udev* context, const std::string& devnode) {
  for (auto& i : ListHidrawInterfaces(context)) {
    if (i.devnode == devnode) return i;
  }
  return std::nullopt;
}

std::optional<std::string> ReadDeviceString(udev* context, const std::string& hidrawSyspath,
                                            DeviceString which) {
  UdevDevice dev(context, hidrawSyspath);
  if (dev.get() == nullptr) return std::nullopt;
  // Parents belong to the child device; they are not released separately.
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev.get(), "usb", "usb_device");
  std::optional<std::string> text;
  if (usb != nullptr) {
    const char* attribute = which == DeviceString::Manufacturer ? "manufacturer"
                            : which == DeviceString::Product    ? "product"
                                                                : "serial";
    text = Text(udev_device_get_sysattr_value(usb, attribute));
  } else {
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(dev.get(), "hid", nullptr);
    if (hid == nullptr) return std::nullopt;
    const char* property = which == DeviceString::Serial ? "HID_UNIQ" : "HID_NAME";
    text = Text(udev_device_get_property_value(hid, property));
  }
  if (text && text->empty()) return std::nullopt;
  return text;
}

std::uint16_t ReadDeviceVersion(udev* context, const std::string& hidrawSyspath) {
  UdevDevice dev(context, hidrawSyspath);
  if (dev.get() == nullptr) return 0;
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev.get(), "usb", "usb_device");
  if (usb == nullptr) return 0;
  const auto text = Text(udev_device_get_sysattr_value(usb, "bcdDevice"));
  return text ? ParseBcdDevice(*text) : 0;
}

std::optional<std::string> ReadPhysicalDevice(udev* context, const std::string& hidrawSyspath) {
  UdevDevice dev(context, hidrawSyspath);
  if (dev.get() == nullptr) return std::nullopt;
  udev_device* physical =
      udev_device_get_parent_with_subsystem_devtype(dev.get(), "usb", "usb_device");
  if (physical == nullptr) {
    physical = udev_device_get_parent_with_subsystem_devtype(dev.get(), "hid", nullptr);
  }
  if (physical == nullptr) return std::nullopt;
  return Text(udev_device_get_syspath(physical));
}

std::optional<std::string> ReadUsbLocation(udev* context, const std::string& hidrawSyspath) {
  UdevDevice dev(context, hidrawSyspath);
  if (dev.get() == nullptr) return std::nullopt;
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev.get(), "usb", "usb_device");
  if (usb == nullptr) return std::nullopt;
  return Text(udev_device_get_syspath(usb));
}

std::optional<std::pair<std::uint16_t, std::uint16_t>> ReadHidIds(
    udev* context, const std::string& hidrawSyspath) {
  UdevDevice dev(context, hidrawSyspath);
  if (dev.get() == nullptr) return std::nullopt;
  udev_device* hid = udev_device_get_parent_with_subsystem_devtype(dev.get(), "hid", nullptr);
  if (hid == nullptr) return std::nullopt;
  return ParseHidId(Text(udev_device_get_property_value(hid, "HID_ID")).value_or(""));
}

std::optional<std::pair<std::uint16_t, std::uint16_t>> ParseHidId(const std::string& text) {
  unsigned bus = 0, vendor = 0, product = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%x:%x:%x%c", &bus, &vendor, &product, &tail) != 3 ||
      vendor > 0xFFFF || product > 0xFFFF) {
    return std::nullopt;
  }
  return std::make_pair(static_cast<std::uint16_t>(vendor), static_cast<std::uint16_t>(product));
}

}  // namespace dalvorn
