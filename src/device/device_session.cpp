#include "device/device_session.h"

namespace dalvorn {

void CloseHandleField(Handle& field, DeviceSession& session, HidPlatform& platform) {
  session.LastResult = platform.CloseHandle(field);
  field = INVALID_HANDLE_VALUE;
}

void CloseDeviceHandles(DeviceSession& session, HidPlatform& platform) {
  CloseHandleField(session.DeviceHandle, session, platform);
  CloseHandleField(session.OverlappedHandle, session, platform);
}

}  // namespace dalvorn
