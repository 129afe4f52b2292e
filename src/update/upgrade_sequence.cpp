#include "update/upgrade_sequence.h"

#include <vector>

#include "device/device_codes.h"
#include "device/find_the_hid.h"
#include "update/feature_reports.h"

namespace dalvorn {
namespace {

constexpr std::uint32_t SwitchPause = 100;

constexpr const char* RetryAdvice =
    " The firmware update failed and the device is left in bootloader mode: start the program "
    "again to retry the update.";

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

std::string ImageRefusalText(const std::string& path, const std::string& reason) {
  return "The firmware image \"" + path + "\" cannot be read: " + reason +
         ". Nothing was sent to the device.";
}

std::string TransferFailureText(const TransferOutcome& outcome) {
  switch (outcome.result) {
    case TransferResult::BlockRefused:
      return "The device refused data block " + std::to_string(outcome.refusedBlock) + " of " +
             std::to_string(outcome.blockCount) + "." + RetryAdvice;
    case TransferResult::NoAnswer:
      return std::string("The device did not answer before the firmware was sent.") + RetryAdvice;
    case TransferResult::BackInBootloader:
      return std::string("The device restarted in bootloader mode, not with the new firmware.") +
             RetryAdvice;
    case TransferResult::NoDevice:
      return std::string("The device was not found before the firmware was sent.") + RetryAdvice;
    case TransferResult::BackInApplication:
    case TransferResult::WindowClosed:
      break;
  }
  return "";
}

UpgradeOutcome RunUpgradeSequence(UpgradeContext& c) {
  DeviceSession& s = c.session;
  std::vector<std::uint8_t> commandReport = NewReportBuffer(CommandReportSize, s);
  if (!s.DeviceFound) return UpgradeOutcome::NotStarted;

  c.window.SetUpgradeEnabled(false);

  // The whole image is in hand before the device is sent a byte: an image that cannot be
  // used leaves the device in the mode it is in.
  FirmwareImage image;
  const std::string path = FirmwareImagePath(c.platform.ProgramFolder());
  std::string reason;
  if (!c.image.Load(path, image, reason)) {
    c.window.ShowMessageBox(ImageRefusalText(path, reason));
    c.window.Unload();
    return UpgradeOutcome::ImageUnreadable;
  }

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

  const TransferOutcome transfer = SendFlashData(c, image);
  // After a close at a pump the window's unload has closed the handles; nothing more may
  // touch it.
  if (transfer.result == TransferResult::WindowClosed) return UpgradeOutcome::Interrupted;

  CloseDeviceHandles(s, c.platform);
  const bool updated = transfer.result == TransferResult::BackInApplication;
  if (!updated) c.window.ShowMessageBox(TransferFailureText(transfer));
  c.window.Unload();
  return updated ? UpgradeOutcome::Updated : UpgradeOutcome::Failed;
}

}  // namespace dalvorn
