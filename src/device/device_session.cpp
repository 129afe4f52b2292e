#include "device/device_session.h"

namespace dalvorn {

std::int32_t CloseHandleField(Handle& field, HidPlatform& platform) {
  const std::int32_t result = platform.CloseHandle(field);
  field = InvalidHandle;
  return result;
}

void CloseDeviceHandles(DeviceSession& session, HidPlatform& platform) {
  CloseHandleField(session.DeviceHandle, platform);
  CloseHandleField(session.OverlappedHandle, platform);
}

}  // namespace dalvorn
