#include "update/upgrade_sequence.h"

#include <optional>
#include <vector>

#include "device/device_codes.h"
#include "device/device_count.h"
#include "device/device_identity.h"
#include "device/find_the_hid.h"
#include "update/feature_reports.h"
#include "update/notification_texts.h"
#include "update/status_texts.h"

namespace dalvorn {
namespace {

constexpr std::uint32_t SwitchPause = 100;
// On its battery, a machine with less charge than this may die before the update ends.
constexpr int LowestBatteryPercentage = 25;

constexpr const char* NothingSent = " Nothing was sent to the device.";
constexpr const char* RetryAdvice =
    " The firmware update failed and the device is left in bootloader mode: start the program "
    "again to retry the update.";

enum class BootloaderWait {
  Found,
  NeverSwitched,
  WindowClosed,
  ReportsTooShort,  // found in bootloader mode, with reports too short for a data block
  AnotherDevice,    // a search met another device of the kind first
};

// Rounds of the wait (pump, pause, search, show) until the device is found in bootloader mode.
// Found in application mode it has not left yet: its handles are closed and the wait goes on,
// until a round finds it so SwitchTimeoutMicroseconds or more after `sinceUs`. While it is
// absent the wait goes on however long.
BootloaderWait WaitForBootloader(UpgradeContext& c, std::int64_t sinceUs) {
  DeviceSession& s = c.session;
  for (;;) {
    if (s.AnotherDeviceFound) return BootloaderWait::AnotherDevice;
    if (s.DeviceFound) {
      if (s.DeviceAttrs.ProductID == BootProductID) {
        return CarriesMessagesOfItsMode(BootProductID, s.DeviceReportLength)
                   ? BootloaderWait::Found
                   : BootloaderWait::ReportsTooShort;
      }
      CloseDeviceHandles(s, c.platform);
      s.DeviceFound = false;
      if (c.platform.SteadyMicroseconds() - sinceUs >= SwitchTimeoutMicroseconds) {
        return BootloaderWait::NeverSwitched;
      }
    }
    if (!PollForDevice(c)) return BootloaderWait::WindowClosed;
  }
}

// Sends the bootloader-entry message, notes when in `entryUs`, and waits until the device is
// found in bootloader mode.
BootloaderWait SwitchToBootloader(UpgradeContext& c, std::vector<std::uint8_t>& commandReport,
                                  std::int64_t& entryUs) {
  DeviceSession& s = c.session;
  c.window.SetUpgradeCaption("Switching to bootloader...");
  BuildBootEntryMessage(commandReport);
  SendFeatureReport(s, c.platform, commandReport);
  entryUs = c.platform.SteadyMicroseconds();
  c.window.SetStatusText(WaitingForBootloaderText());
  CloseDeviceHandles(s, c.platform);
  c.platform.Sleep(SwitchPause);
  FindTheHid(s, c.platform);
  return WaitForBootloader(c, entryUs);
}

std::string BatteryTooLowText(int percentage) {
  return "The battery is at " + std::to_string(percentage) +
         " %. Connect the power supply, then start the update again.";
}

// Tells the person and unloads the window; the device has been sent nothing it could act on.
UpgradeOutcome Stop(UpgradeContext& c, const std::string& text, UpgradeOutcome outcome) {
  c.window.ShowMessageBox(text);
  c.window.Unload();
  return outcome;
}

// The checks before the device is sent a byte, each told in a message box that unloads the
// window, so that a refusal leaves the device in the mode it is in: the battery, the image read
// whole (with the maker's keys built in, its signature verified) into `image`, and the device
// the only one of its kind. Returns the outcome of a refusal; none when the update goes on.
std::optional<UpgradeOutcome> RefusedBeforeSending(UpgradeContext& c, FirmwareImage& image) {
  // A flat battery, sleep or a shutdown would leave the device with half an image: no update on
  // a low battery, and the machine held awake from here until the window unloads (a hold the
  // system refuses does not stop the update).
  if (const BatteryState battery = c.power.Battery();
      battery.known && battery.onBattery && battery.percentage < LowestBatteryPercentage) {
    return Stop(c, BatteryTooLowText(battery.percentage), UpgradeOutcome::Refused);
  }
  c.power.Hold();

  const std::string path = FirmwareImagePath(c.platform.ProgramFolder());
  std::string reason;
  if (!c.image.Load(path, image, reason)) {
    const bool notSigned = image.signature == ImageSignature::Refused;
    return Stop(c, notSigned ? UnsignedImageText(path, reason) : ImageRefusalText(path, reason),
                UpgradeOutcome::Refused);
  }
  if (const std::size_t devices = CountDevicesOfTheKind(c.platform); devices > 1) {
    return Stop(c, TooManyDevicesText(devices), UpgradeOutcome::Refused);
  }
  const DeviceSession& s = c.session;
  if (!CarriesMessagesOfItsMode(s.DeviceAttrs.ProductID, s.DeviceReportLength)) {
    return Stop(
        c,
        ReportsTooShortText(s.DeviceAttrs.ProductID == BootProductID, s.DeviceReportLength) +
            NothingSent,
        UpgradeOutcome::Refused);
  }
  return std::nullopt;
}

// The window was closed while the update ran: nothing more is shown, nothing notified.
UpgradeOutcome Interrupted(UpgradeContext& c) {
  c.shell.SetTaskbarState(TaskbarState::None);
  return UpgradeOutcome::Interrupted;
}

// A failure after the checks: told in a message box, with the taskbar showing the error while
// it is up, and (`notify`) to someone away from the window before the box waits for them.
UpgradeOutcome Failed(UpgradeContext& c, const std::string& text, bool notify) {
  c.shell.SetTaskbarState(TaskbarState::Error);
  if (notify) c.shell.Notify(UpdateFailedTitle(), text);
  c.window.ShowMessageBox(text);
  c.shell.SetTaskbarState(TaskbarState::None);
  c.window.Unload();
  return UpgradeOutcome::Failed;
}

}  // namespace

std::string ImageRefusalText(const std::string& path, const std::string& reason) {
  return "The firmware image \"" + path + "\" cannot be read: " + reason + "." + NothingSent;
}

std::string UnsignedImageText(const std::string& path, const std::string& reason) {
  return "The firmware image \"" + path + "\" is not signed by the maker: " + reason + "." +
         NothingSent;
}

std::string TooManyDevicesText(std::size_t count) {
  return std::to_string(count) +
         " devices of this kind are connected. Disconnect all but the one to update, then start "
         "the update again." +
         NothingSent;
}

std::string ReportsTooShortText(bool bootloader, std::uint16_t reportLength) {
  const std::string bytes = std::to_string(reportLength) + " bytes";
  if (bootloader) {
    return "The device's bootloader takes reports of " + bytes +
           ", too short for the firmware's 40-byte blocks.";
  }
  return "The device takes reports of " + bytes +
         ", too short for the message that switches it to its bootloader.";
}

std::string BootloaderTooShortText(std::uint16_t reportLength) {
  return ReportsTooShortText(true, reportLength) +
         " Nothing was written. The device is left in bootloader mode with its firmware "
         "untouched: unplug it and plug it in again to restart it. This program cannot update "
         "this device.";
}

std::string AnotherDeviceText() {
  return "Another device of this kind was connected during the update. Nothing was written: "
         "disconnect the other device, then start the program again to update the device (it "
         "may be waiting in bootloader mode).";
}

std::string NotSwitchedText() {
  return "The device did not switch to its bootloader. Nothing was written: it still runs its "
         "current firmware.";
}

std::string TransferFailureText(const TransferOutcome& outcome) {
  const std::string block =
      std::to_string(outcome.refusedBlock) + " of " + std::to_string(outcome.blockCount);
  switch (outcome.result) {
    case TransferResult::BlockRefused:
      return "The device refused data block " + block + "." + RetryAdvice;
    case TransferResult::Disconnected:
      return "The device disconnected at data block " + block + "." + RetryAdvice;
    case TransferResult::NoAnswer:
      return std::string("The device did not answer before the firmware was sent.") + RetryAdvice;
    case TransferResult::BackInBootloader:
      return std::string("The device restarted in bootloader mode, not with the new firmware.") +
             RetryAdvice;
    case TransferResult::NotRestarted:
      return std::string("The device did not restart after the firmware was sent.") + RetryAdvice;
    case TransferResult::NoDevice:
      return std::string("The device was not found before the firmware was sent.") + RetryAdvice;
    case TransferResult::AnotherDevice:
      return "Another device of this kind was connected during the update: the program cannot "
             "tell whether the device restarted with the new firmware. The firmware update "
             "failed and the device is left in bootloader mode: disconnect the other device, "
             "then start the program again to retry the update.";
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

  FirmwareImage image;
  if (const auto refused = RefusedBeforeSending(c, image)) return *refused;
  c.window.SetStatusText(UpdateStartedText());
  c.shell.SetTaskbarState(TaskbarState::Waiting);

  // From here on every search takes the device clicked, and no other of its kind.
  NoteDeviceIdentity(s, c.platform);

  // Only a device found in bootloader mode gets the status read, the unlock and the data.
  std::int64_t sinceUs = c.platform.SteadyMicroseconds();
  BootloaderWait wait = BootloaderWait::Found;
  if (s.DeviceAttrs.ProductID == AppProductID) wait = SwitchToBootloader(c, commandReport, sinceUs);
  if (wait == BootloaderWait::Found) {
    // Re-find the device on fresh handles.
    CloseDeviceHandles(s, c.platform);
    s.DeviceFound = false;
    wait = WaitForBootloader(c, sinceUs);
  }
  switch (wait) {
    case BootloaderWait::Found:
      break;
    case BootloaderWait::WindowClosed:
      return Interrupted(c);
    case BootloaderWait::NeverSwitched:
      // Nothing was written: the device runs on as it did, nobody needs telling from afar.
      return Failed(c, NotSwitchedText(), false);
    case BootloaderWait::ReportsTooShort:
      CloseDeviceHandles(s, c.platform);
      return Failed(c, BootloaderTooShortText(s.DeviceReportLength), true);
    case BootloaderWait::AnotherDevice:
      return Failed(c, AnotherDeviceText(), true);
  }

  std::vector<std::uint8_t> status(StatusReportSize, 0);
  const std::int32_t statusResult = ReadStatusReport(s, c.platform, status);
  if (StatusAsksForUnlock(status, statusResult)) {
    BuildUnlockMessage(commandReport);
    SendFeatureReport(s, c.platform, commandReport);
  }

  const TransferOutcome transfer = SendFlashData(c, image);
  // After a close at a pump the window's unload has closed the handles; nothing more may
  // touch it.
  if (transfer.result == TransferResult::WindowClosed) return Interrupted(c);

  CloseDeviceHandles(s, c.platform);
  const bool updated = transfer.result == TransferResult::BackInApplication;
  if (!updated) return Failed(c, TransferFailureText(transfer), true);
  // Told to someone away from the window: the program ends and its window goes.
  c.shell.SetTaskbarState(TaskbarState::None);
  c.shell.Notify(UpdatedTitle(), UpdatedBody(c.window.ProductShown(), c.window.VersionShown()));
  c.window.Unload();
  return UpgradeOutcome::Updated;
}

}  // namespace dalvorn
