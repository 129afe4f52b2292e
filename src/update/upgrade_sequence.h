// The whole update: what a click on the upgrade button runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "update/block_transfer.h"
#include "update/upgrade_outcome.h"

namespace dalvorn {

// How long after the bootloader-entry message (or the click, for a device already in its
// bootloader) a device still found in application mode is taken to be on its way.
inline constexpr std::int64_t SwitchTimeoutMicroseconds = 30'000'000;

// Reads the image whole, makes sure the device is the only one of its kind, switches it into
// its bootloader when it is in application mode, re-finds it in bootloader mode, reads its
// status and unlocks it when asked, sends the image, tells the person when the update failed,
// and unloads the window. Does nothing (NotStarted) when no device was found.
UpgradeOutcome RunUpgradeSequence(UpgradeContext& context);

// The message box texts: an image refused, more than one device of the kind, a device that
// never switched, all before anything was written; and a failed transfer.
std::string ImageRefusalText(const std::string& path, const std::string& reason);
// An image refused for its signature: not signed by the maker, and why.
std::string UnsignedImageText(const std::string& path, const std::string& reason);
std::string TooManyDevicesText(std::size_t count);
std::string NotSwitchedText();
// Reports too short for the messages of the device's mode (at the click, with NothingSent's
// sentence added), and the bootloader found so after the switch; another device of the kind met
// by a search after the switch, before any data was sent.
std::string ReportsTooShortText(bool bootloader, std::uint16_t reportLength);
std::string BootloaderTooShortText(std::uint16_t reportLength);
std::string AnotherDeviceText();
std::string TransferFailureText(const TransferOutcome& outcome);

}  // namespace dalvorn
