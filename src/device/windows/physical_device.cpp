#include "device/windows/physical_device.h"

#include <cfgmgr32.h>
// The property keys are defined in this file: no import library carries them.
#include <initguid.h>

#include <devpkey.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <vector>

#include "text/text_codec.h"

namespace dalvorn {
namespace {

// {00000000-0000-0000-FFFF-FFFFFFFFFFFF}: the container of the computer itself, which every
// internal device shares.
constexpr GUID ComputerContainer = {
    0x00000000, 0x0000, 0x0000, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};

std::wstring InstanceId(DEVINST device) {
  wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
  if (::CM_Get_Device_IDW(device, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) return {};
  return id;
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

// The nearest ancestor of `device` that is a whole USB device; false when there is none.
bool UsbAncestor(DEVINST device, DEVINST& usb) {
  for (DEVINST node = device, parent = 0; ::CM_Get_Parent(&parent, node, 0) == CR_SUCCESS;
       node = parent) {
    if (IsWholeUsbDevice(InstanceId(parent))) {
      usb = parent;
      return true;
    }
  }
  return false;
}

// The first string of the device's DEVPKEY_Device_LocationPaths; empty when it has none.
std::wstring FirstLocationPath(DEVINST device) {
  DEVPROPTYPE type = 0;
  ULONG size = 0;
  if (::CM_Get_DevNode_PropertyW(device, &DEVPKEY_Device_LocationPaths, &type, nullptr, &size, 0) !=
          CR_BUFFER_SMALL ||
      size == 0) {
    return {};
  }
  // Room for the list's two terminating zeros even when the system leaves them out.
  std::vector<wchar_t> list(size / sizeof(wchar_t) + 2, L'\0');
  if (::CM_Get_DevNode_PropertyW(device, &DEVPKEY_Device_LocationPaths, &type,
                                 reinterpret_cast<PBYTE>(list.data()), &size, 0) != CR_SUCCESS ||
      type != DEVPROP_TYPE_STRING_LIST) {
    return {};
  }
  return list.data();
}

std::string GuidText(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

}  // namespace

bool IsWholeUsbDevice(const std::wstring& instanceId) {
  const std::wstring id = Upper(instanceId);
  return id.rfind(L"USB\\", 0) == 0 && id.find(L"&MI_") == std::wstring::npos;
}

bool IsDistinctContainer(const GUID& container) {
  static constexpr GUID Null = {};
  return !::IsEqualGUID(container, Null) && !::IsEqualGUID(container, ComputerContainer);
}

bool ReadSystemInterfaceDetail(HDEVINFO set, const SP_DEVICE_INTERFACE_DATA& interfaceData,
                               std::string& path, SP_DEVINFO_DATA* device) {
  SP_DEVICE_INTERFACE_DATA data = interfaceData;
  DWORD needed = 0;
  if (::SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &needed, nullptr) ||
      ::GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
      needed <= offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath)) {
    return false;  // the interface has gone
  }
  // DWORD-aligned storage for the system's record.
  std::vector<DWORD> storage(needed / sizeof(DWORD) + 1);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  if (device != nullptr) device->cbSize = sizeof *device;
  if (!::SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed, nullptr, device)) {
    return false;
  }
  const std::size_t room = needed - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
  path.assign(detail->DevicePath, strnlen(detail->DevicePath, room));
  return true;
}

std::string PhysicalDeviceOf(HDEVINFO set, const SP_DEVICE_INTERFACE_DATA& interfaceData) {
  std::string path;
  SP_DEVINFO_DATA device{};
  if (!ReadSystemInterfaceDetail(set, interfaceData, path, &device)) return {};

  GUID container{};
  DEVPROPTYPE type = 0;
  if (::SetupDiGetDevicePropertyW(set, &device, &DEVPKEY_Device_ContainerId, &type,
                                  reinterpret_cast<BYTE*>(&container), sizeof container, nullptr,
                                  0) &&
      type == DEVPROP_TYPE_GUID && IsDistinctContainer(container)) {
    return "container " + GuidText(container);
  }
  for (DEVINST node = device.DevInst, parent = 0; ::CM_Get_Parent(&parent, node, 0) == CR_SUCCESS;
       node = parent) {
    const std::wstring id = InstanceId(parent);
    if (IsWholeUsbDevice(id)) return "usb " + Utf8FromWide(id);
  }
  const std::wstring own = InstanceId(device.DevInst);
  if (own.empty()) {
    ::SetLastError(ERROR_NOT_FOUND);
    return {};
  }
  return "instance " + Utf8FromWide(own);
}

std::string LocationOf(HDEVINFO set, const SP_DEVICE_INTERFACE_DATA& interfaceData) {
  std::string path;
  SP_DEVINFO_DATA device{};
  if (!ReadSystemInterfaceDetail(set, interfaceData, path, &device)) return {};
  DEVINST usb = 0;
  if (UsbAncestor(device.DevInst, usb)) {
    if (const std::wstring paths = FirstLocationPath(usb); !paths.empty()) {
      return "paths " + Utf8FromWide(paths);
    }
    DEVINST hub = 0;
    ULONG port = 0;
    ULONG size = sizeof port;
    DEVPROPTYPE type = 0;
    if (::CM_Get_Parent(&hub, usb, 0) == CR_SUCCESS &&
        ::CM_Get_DevNode_PropertyW(usb, &DEVPKEY_Device_Address, &type,
                                   reinterpret_cast<PBYTE>(&port), &size, 0) == CR_SUCCESS &&
        type == DEVPROP_TYPE_UINT32) {
      const std::wstring hubId = InstanceId(hub);
      if (!hubId.empty()) return "hub " + Utf8FromWide(hubId) + " port " + std::to_string(port);
    }
  }
  ::SetLastError(ERROR_NOT_FOUND);
  return {};
}

}  // namespace dalvorn
