// Sending the firmware image to the device, block by block, and waiting for its restart.
#pragma once

#include <string>

#include "device/device_session.h"
#include "device/hid_platform.h"
#include "update/firmware_image.h"
#include "update/update_window.h"

namespace dalvorn {

struct UpgradeContext {
  DeviceSession& session;
  HidPlatform& platform;
  UpdateWindow& window;
  FirmwareImageFile& image;
};

enum class TransferResult {
  BackInApplication,  // every block taken and the device found again in application mode
  NotUpdated,         // refused at entry, probe failed, a block refused, or back in bootloader
  ImageUnreadable,    // the image could not be opened; the message box has been shown
  WindowClosed,       // the user closed the window during an event pump
};

// Sends every whole record of the image as one data block, with the progress bar growing,
// then closes the session and waits for the device to restart and be found again.
TransferResult SendFlashData(UpgradeContext& context);

// One poll of a wait for the device: pump events, pause 100 ms, search, show. False when the
// window was closed during the pump (nothing else is done then).
bool PollForDevice(UpgradeContext& context);

}  // namespace dalvorn
