#include "update/upgrade_sequence.h"

#include <optional>
#include <vector>

#include "device/device_codes.h"
#include "device/device_count.h"
#include "device/device_identity.h"
#include "device/find_the_hid.h"
#include "text/translation.h"
#include "update/feature_reports.h"
#include "update/notification_texts.h"
#include "update/status_texts.h"
#include "update/upgrade_captions.h"

namespace dalvorn {
namespace {

constexpr std::uint32_t SwitchPause = 100;
// On its battery, a machine with less charge than this may die before the update ends.
constexpr int LowestBatteryPercentage = 25;

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
  c.window.SetUpgradeCaption(Tr(SwitchingCaption));
  BuildBootEntryMessage(commandReport);
  SendFeatureReport(s, c.platform, commandReport);
  entryUs = c.platform.SteadyMicroseconds();
  c.window.SetStatusText(WaitingForBootloaderText());
  CloseDeviceHandles(s, c.platform);
  c.platform.Sleep(SwitchPause);
  FindTheHid(s, c.platform);
  return WaitForBootloader(c, entryUs);
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
    return Stop(c,
                ReportsTooShortText(s.DeviceAttrs.ProductID == BootProductID, s.DeviceReportLength),
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

std::string BatteryTooLowText(int percentage) {
  return Format(Tr("The battery is at {percent} %. Connect the power supply, then start the "
                   "update again."),
                {{"percent", std::to_string(percentage)}});
}

std::string ImageRefusalText(const std::string& path, const std::string& reason) {
  // TRANSLATORS: {reason} is one of the reasons below ("it is a directory, not a file") or the
  // system's own text ("No such file or directory").
  return Format(Tr("The firmware image \"{path}\" cannot be read: {reason}. Nothing was sent to "
                   "the device."),
                {{"path", path}, {"reason", reason}});
}

std::string UnsignedImageText(const std::string& path, const std::string& reason) {
  return Format(Tr("The firmware image \"{path}\" is not signed by the maker: {reason}. Nothing "
                   "was sent to the device."),
                {{"path", path}, {"reason", reason}});
}

std::string TooManyDevicesText(std::size_t count) {
  // TRANSLATORS: said only of two devices or more.
  return Format(TrN("{count} device of this kind is connected. Disconnect all but the one to "
                    "update, then start the update again. Nothing was sent to the device.",
                    "{count} devices of this kind are connected. Disconnect all but the one to "
                    "update, then start the update again. Nothing was sent to the device.",
                    count),
                {{"count", std::to_string(count)}});
}

// The device's report length in whole sentences; English says "bytes" of every length, one
// included.
std::string ReportsTooShortText(bool bootloader, std::uint16_t reportLength) {
  std::string text;
  if (bootloader) {
    text =
        // TRANSLATORS: English says "bytes" in both forms; write the form each count takes.
        TrN("The device's bootloader takes reports of {count} bytes, too short for the firmware's "
            "40-byte blocks. Nothing was sent to the device.",
            "The device's bootloader takes reports of {count} bytes, too short for the firmware's "
            "40-byte blocks. Nothing was sent to the device.",
            reportLength);
  } else {
    text =
        // TRANSLATORS: English says "bytes" in both forms; write the form each count takes.
        TrN("The device takes reports of {count} bytes, too short for the message that switches it "
            "to its bootloader. Nothing was sent to the device.",
            "The device takes reports of {count} bytes, too short for the message that switches it "
            "to its bootloader. Nothing was sent to the device.",
            reportLength);
  }
  return Format(text, {{"count", std::to_string(reportLength)}});
}

std::string BootloaderTooShortText(std::uint16_t reportLength) {
  return Format(
      // TRANSLATORS: English says "bytes" in both forms; write the form each count takes.
      TrN("The device's bootloader takes reports of {count} bytes, too short for the firmware's "
          "40-byte blocks. Nothing was written. The device is left in bootloader mode with its "
          "firmware untouched: unplug it and plug it in again to restart it. This program cannot "
          "update this device.",
          "The device's bootloader takes reports of {count} bytes, too short for the firmware's "
          "40-byte blocks. Nothing was written. The device is left in bootloader mode with its "
          "firmware untouched: unplug it and plug it in again to restart it. This program cannot "
          "update this device.",
          reportLength),
      {{"count", std::to_string(reportLength)}});
}

std::string AnotherDeviceText() {
  return Tr(
      "Another device of this kind was connected during the update. Nothing was written: "
      "disconnect the other device, then start the program again to update the device (it "
      "may be waiting in bootloader mode).");
}

std::string NotSwitchedText() {
  return Tr(
      "The device did not switch to its bootloader. Nothing was written: it still runs its "
      "current firmware.");
}

std::string TransferFailureText(const TransferOutcome& outcome) {
  std::string text;
  switch (outcome.result) {
    case TransferResult::BlockRefused:
      text =
          Tr("The device refused data block {block} of {count}. The firmware update failed "
             "and the device is left in bootloader mode: start the program again to retry "
             "the update.");
      break;
    case TransferResult::Disconnected:
      text =
          Tr("The device disconnected at data block {block} of {count}. The firmware update "
             "failed and the device is left in bootloader mode: start the program again to "
             "retry the update.");
      break;
    case TransferResult::NoAnswer:
      text =
          Tr("The device did not answer before the firmware was sent. The firmware update "
             "failed and the device is left in bootloader mode: start the program again to "
             "retry the update.");
      break;
    case TransferResult::BackInBootloader:
      text =
          Tr("The device restarted in bootloader mode, not with the new firmware. The firmware "
             "update failed and the device is left in bootloader mode: start the program "
             "again to retry the update.");
      break;
    case TransferResult::NotRestarted:
      text =
          Tr("The device did not restart after the firmware was sent. The firmware update "
             "failed and the device is left in bootloader mode: start the program again to "
             "retry the update.");
      break;
    case TransferResult::NoDevice:
      text =
          Tr("The device was not found before the firmware was sent. The firmware update "
             "failed and the device is left in bootloader mode: start the program again to "
             "retry the update.");
      break;
    case TransferResult::AnotherDevice:
      text =
          Tr("Another device of this kind was connected during the update: the program cannot "
             "tell whether the device restarted with the new firmware. The firmware update "
             "failed and the device is left in bootloader mode: disconnect the other device, "
             "then start the program again to retry the update.");
      break;
    case TransferResult::BackInApplication:
    case TransferResult::WindowClosed:
      break;
  }
  return Format(text, {{"block", std::to_string(outcome.refusedBlock)},
                       {"count", std::to_string(outcome.blockCount)}});
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
