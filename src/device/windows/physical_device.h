// Which physical device a HID interface belongs to, as Windows tells it: the interfaces of one
// USB device (one per HID top-level collection or USB interface) share it. Both it and the
// interface's path come from the system's detail record of the interface.
#pragma once

#include <windows.h>

#include <setupapi.h>

#include <string>

namespace dalvorn {

// Reads the system's detail record of an interface of the set: the interface's path, in the
// ANSI code page, into `path`, and the record of the device behind it into `device` when one is
// given. False, with the thread's last error set, when the interface has gone.
bool ReadSystemInterfaceDetail(HDEVINFO set, const SP_DEVICE_INTERFACE_DATA& interfaceData,
                               std::string& path, SP_DEVINFO_DATA* device);

// "container {GUID}" from the device's container ID, which every interface of one physical
// device shares; where the system gives none, or the one of the computer itself (internal
// devices), "usb INSTANCE" from the nearest USB ancestor that is a whole device, not one of its
// interfaces (&MI_); else "instance INSTANCE" of the interface's own device. Empty, with the
// thread's last error set, when the system cannot tell which device the interface belongs to.
std::string PhysicalDeviceOf(HDEVINFO set, const SP_DEVICE_INTERFACE_DATA& interfaceData);

// Where the USB device that the interface belongs to is plugged in: "paths " and the first of its
// DEVPKEY_Device_LocationPaths (PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)), or else "hub INSTANCE
// port N" from its parent hub and its DEVPKEY_Device_Address. A device keeps it when it
// re-enumerates on the same port with another product ID, where its container ID may change.
// Empty, with the thread's last error set, when the interface has no USB device (Wine's own
// devices, Bluetooth) or the system tells neither.
std::string LocationOf(HDEVINFO set, const SP_DEVICE_INTERFACE_DATA& interfaceData);

// The rule for a device's instance ID: a USB device as a whole ("USB\VID_1209&PID_0001\0042"),
// not one of its interfaces ("USB\VID_1209&PID_0001&MI_01\6&...").
bool IsWholeUsbDevice(const std::wstring& instanceId);

// A container ID that tells devices apart: not null and not the computer's own container.
bool IsDistinctContainer(const GUID& container);

}  // namespace dalvorn
