// What libudev tells about the host's hidraw interfaces: the present ones, and the USB or HID
// device behind each (version and strings).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct udev;

namespace dalvorn {

struct HidrawInterface {
  std::string devnode;  // e.g. /dev/hidraw3
  std::string syspath;  // the hidraw class device in sysfs
  unsigned number = 0;  // N of hidrawN
};

// The present hidraw interfaces that have a device node, ordered by their number.
std::vector<HidrawInterface> ListHidrawInterfaces(udev* context);

// Whether the sysfs device at `syspath` is there now.
bool SysfsDeviceExists(udev* context, const std::string& syspath);

// The interface whose device node is `devnode`, looked up now; nullopt when there is none.
std::optional<HidrawInterface> FindHidrawInterface(udev* context, const std::string& devnode);

enum class DeviceString { Manufacturer, Product, Serial };

// The string of the USB device behind the hidraw interface, or, for a HID device with no USB
// parent, its HID_NAME (manufacturer and product) or HID_UNIQ (serial). nullopt when the
// device has no such string.
std::optional<std::string> ReadDeviceString(udev* context, const std::string& hidrawSyspath,
                                            DeviceString which);

// bcdDevice of the USB device behind the interface; 0 when there is none.
std::uint16_t ReadDeviceVersion(udev* context, const std::string& hidrawSyspath);

// The sysfs path of the physical device behind the interface: the USB device, or the HID
// device itself where it has no USB parent (uhid, Bluetooth). nullopt when there is neither.
std::optional<std::string> ReadPhysicalDevice(udev* context, const std::string& hidrawSyspath);

// Where the USB device behind the interface is plugged in: its sysfs path, which names the bus
// and the chain of ports (…/usb1/1-3/1-3.2) and which the device keeps when it re-enumerates on
// the same port. nullopt for a HID device with no USB parent (uhid, Bluetooth).
std::optional<std::string> ReadUsbLocation(udev* context, const std::string& hidrawSyspath);

// Vendor and product of the HID device behind the interface, from its HID_ID; nullopt when
// there is none. Read from sysfs, so known also for a node that cannot be opened.
std::optional<std::pair<std::uint16_t, std::uint16_t>> ReadHidIds(udev* context,
                                                                  const std::string& hidrawSyspath);
// Parses HID_ID text ("0003:00001209:00000001": bus, vendor, product in hexadecimal).
std::optional<std::pair<std::uint16_t, std::uint16_t>> ParseHidId(const std::string& text);

// The number N of a name "hidrawN"; nullopt for any other name.
std::optional<unsigned> HidrawNumber(const std::string& sysname);

// Parses bcdDevice text ("0102", hexadecimal); 0 for anything that is not 1 to 4 hex digits.
std::uint16_t ParseBcdDevice(const std::string& text);

}  // namespace dalvorn
