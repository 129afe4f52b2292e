#include "device/device_count.h"

#include <set>
#include <string>

#include "device/find_the_hid.h"
#include "device/interface_walk.h"

namespace dalvorn {

std::size_t CountDevicesOfTheKind(HidPlatform& platform) {
  DeviceSession walk;  // a record of its own, so the session's handles stay as they are
  DeviceSearchScratch& w = walk.Search;
  Guid hidGuid;
  StartInterfaceWalk(walk, platform, hidGuid);

  std::set<std::string> devices;
  for (std::int32_t memberIndex = 0;; ++memberIndex) {
    w.InterfaceData.cbSize = SpDeviceInterfaceDataSize;
    if (platform.SetupDiEnumDeviceInterfaces(w.DeviceInfoSet, nullptr, hidGuid, memberIndex,
                                             w.InterfaceData) == 0) {
      break;
    }
    if (!ReadInterfacePath(walk, platform)) continue;
    walk.DeviceHandle = OpenInterface(walk, platform, 0);
    walk.DeviceAttrs.Size = HiddAttributesSize;
    if (platform.HidD_GetAttributes(walk.DeviceHandle, walk.DeviceAttrs) != 0 &&
        IsDeviceIdentity(walk.DeviceAttrs.VendorID, walk.DeviceAttrs.ProductID)) {
      std::string physical;
      // An interface whose device cannot be told is a device of its own.
      if (platform.SetupDiGetDevicePropertyW(w.DeviceInfoSet, w.InterfaceData, physical) == 0 ||
          physical.empty()) {
        physical = "interface " + walk.DevicePath;
      }
      devices.insert(physical);
    }
    CloseHandleField(walk.DeviceHandle, platform);
  }
  platform.SetupDiDestroyDeviceInfoList(w.DeviceInfoSet);
  return devices.size();
}

}  // namespace dalvorn
