// Sending the firmware image to the device, block by block, and waiting for its restart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/desktop_shell.h"
#include "device/device_session.h"
#include "device/hid_platform.h"
#include "device/power_guard.h"
#include "update/firmware_image.h"
#include "update/update_window.h"

namespace dalvorn {

struct UpgradeContext {
  DeviceSession& session;
  HidPlatform& platform;
  UpdateWindow& window;
  FirmwareImageFile& image;
  // Asked for the battery and held from the click on; the window lets go at its unload.
  PowerGuard& power = NoPowerService();
  // The progress bar's full width in twips, as the window measured it when it loaded.
  std::int16_t progressFullWidth = 0;
  // The taskbar's progress and the notification at the end.
  DesktopShell& shell = NoDesktopService();
};

// The least time between the end of one data block's send and the start of the next.
inline constexpr std::int64_t BlockPaceMicroseconds = 20000;
// How long after the last block a device that stays in bootloader mode, never having left the
// bus, is still taken to be writing or restarting.
inline constexpr std::int64_t RestartTimeoutMicroseconds = 60'000'000;

enum class TransferResult {
  BackInApplication,  // every block taken and the device found again in application mode
  NoDevice,           // no device at entry: nothing was done
  NoAnswer,           // the device did not answer the probe before the first block
  BlockRefused,       // the device refused a block; the transfer stopped there
  Disconnected,       // the device went away during a block's send; the transfer stopped there
  BackInBootloader,   // every block taken; the device left and came back in bootloader mode
  NotRestarted,       // every block taken; the device stayed in bootloader mode, never leaving
  WindowClosed,       // the user closed the window during an event pump
  AnotherDevice,      // every block taken; a search for the restarted device met another first
};

struct TransferOutcome {
  TransferResult result = TransferResult::NoDevice;
  std::size_t refusedBlock = 0;  // 1-based number of the refused or interrupted block
  std::size_t blockCount = 0;    // the whole records of the image
};

// Sends every whole record of `image` as one data block, with the progress bar growing and
// each block at least BlockPaceMicroseconds after the previous send returned, then closes the
// session and waits for the device to restart and be found again in application mode. The
// device must have been found in bootloader mode.
TransferOutcome SendFlashData(UpgradeContext& context, const FirmwareImage& image);

// One poll of a wait for the device: pump events, pause 100 ms, search, show. False when the
// window was closed during the pump (nothing else is done then).
bool PollForDevice(UpgradeContext& context);

}  // namespace dalvorn
