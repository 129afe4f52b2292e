#include "update/upgrade_sequence.h"

#include <vector>

#include "device/device_codes.h"
#include "device/find_the_hid.h"
#include "update/feature_reports.h"

namespace dalvorn {
namespace {

constexpr std::uint32_t SwitchPause = 100;

// Sends the bootloader-entry message and waits until the device is found again, in either
// mode. False when the window was closed meanwhile.
bool SwitchToBootloader(UpgradeContext& c, std::vector<std::uint8_t>& commandReport) {
  DeviceSession& s = c.session;
  c.window.SetUpgradeCaption("Switching to bootloader...");
  BuildBootEntryMessage(commandReport);
  SendFeatureReport(s, c.platform, commandReport);
  CloseDeviceHandles(s, c.platform);
  c.platform.Sleep(SwitchPause);
  s.DeviceFound = FindTheHid(s, c.platform);
  while (!s.DeviceFound) {
    if (!PollForDevice(c)) return false;
  }
  return true;
}

}  // namespace

UpgradeOutcome btnUpgradeFW_Click(UpgradeContext& c) {
  DeviceSession& s = c.session;
  std::vector<std::uint8_t> commandReport = NewReportBuffer(CommandReportSize, s);
  if (!s.DeviceFound) return UpgradeOutcome::NotStarted;

  c.window.SetUpgradeEnabled(false);
  if (s.DeviceAttrs.ProductID == AppProductID && !SwitchToBootloader(c, commandReport)) {
    return UpgradeOutcome::Interrupted;
  }

  // Re-find the device on fresh handles, in the normal course in bootloader mode.
  CloseDeviceHandles(s, c.platform);
  s.DeviceFound = false;
  while (!s.DeviceFound) {
    if (!PollForDevice(c)) return UpgradeOutcome::Interrupted;
  }

  const std::int32_t statusResult = ReadStatusReport(s, c.platform);
  if (StatusAsksForUnlock(s, statusResult)) {
    BuildUnlockMessage(commandReport);
    SendFeatureReport(s, c.platform, commandReport);
  }

  const TransferResult transfer = SendFlashData(c);
  switch (transfer) {
    case TransferResult::WindowClosed:
      // The window's unload has closed the handles; nothing more may touch it.
      return UpgradeOutcome::Interrupted;
    case TransferResult::ImageUnreadable:
      c.window.Unload();
      return UpgradeOutcome::ImageUnreadable;
    case TransferResult::BackInApplication:
    case TransferResult::NotUpdated:
      break;
  }
  CloseDeviceHandles(s, c.platform);
  c.window.Unload();
  return transfer == TransferResult::BackInApplication ? UpgradeOutcome::Updated
                                                       : UpgradeOutcome::Failed;
}

}  // namespace dalvorn
