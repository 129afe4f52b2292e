// The texts of the status line under the progress bar: what a click on the upgrade button will
// do, and why it cannot. Every text the line shows is made here, so that a translation has one
// place to reach them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "update/firmware_image.h"

namespace dalvorn {

// No device of the kind is connected.
std::string ConnectDeviceText();
// One device in application mode and a good image of `imageBytes` bytes: "Ready to update."
// and how long the update takes.
std::string ReadyToUpdateText(std::uint64_t imageBytes);
// The device was found in its bootloader: an earlier update did not finish.
std::string InBootloaderText();
// `count` (two or more) devices of the kind, counted by physical device.
std::string DevicesOfTheKindText(std::size_t count);
// The image `fileName` refused as the click would refuse it, with the click's reason; for its
// signature, the reason in short (the line has room for three lines of text).
std::string ImageProblemText(const std::string& fileName, const ImageCheck& check);
std::string SignatureReasonInShort(SignatureVerdict verdict);
// Once the update has started: the device must stay connected to its end.
std::string UpdateStartedText();
// During the transfer: the time left, `seconds`, as TimeLeftMinutes rounds it: "About N minutes
// left.", "About a minute left." or "Less than a minute left.".
std::string TimeLeftText(std::int64_t seconds);
// The line during the transfer: keep the device connected, and the time left.
std::string TransferStatusText(std::int64_t seconds);
// The waits, so that no part of the update is silent: the switch to the bootloader, and the
// restart after the last block.
std::string WaitingForBootloaderText();
std::string WaitingForRestartText();

// "It takes about N minutes." for a transfer of `seconds`, rounded to whole minutes, or "It
// takes less than a minute.".
std::string DurationText(std::int64_t seconds);
// How long the data blocks of an image of `imageBytes` take at the protocol's pace, in seconds.
std::int64_t TransferSeconds(std::uint64_t imageBytes);

}  // namespace dalvorn
