#include "update/status_texts.h"

#include "update/block_transfer.h"
#include "update/transfer_progress.h"

namespace dalvorn {

std::string ConnectDeviceText() {
  return "Connect the device to update its firmware.";
}

std::string ReadyToUpdateText(std::uint64_t imageBytes) {
  return "Ready to update. " + DurationText(TransferSeconds(imageBytes));
}

std::string InBootloaderText() {
  return "The device is in its bootloader: an earlier update did not finish. Upgrade Firmware "
         "installs the firmware again.";
}

std::string DevicesOfTheKindText(std::size_t count) {
  return std::to_string(count) +
         " devices of this kind are connected. Disconnect all but the one to update.";
}

std::string ImageProblemText(const std::string& fileName, const ImageCheck& check) {
  if (check.signature == ImageSignature::Refused) {
    return "The firmware image \"" + fileName +
           "\" is not signed by the maker: " + SignatureReasonInShort(check.verdict) + ".";
  }
  return "The firmware image \"" + fileName + "\" cannot be read: " + check.error + ".";
}

std::string SignatureReasonInShort(SignatureVerdict verdict) {
  switch (verdict) {
    case SignatureVerdict::NoSignatureFile:
      return "there is no signature file beside it";
    case SignatureVerdict::Unreadable:
      return "its signature file cannot be read";
    case SignatureVerdict::Malformed:
      return "its signature file is malformed";
    case SignatureVerdict::NoMatch:
      return "its signature matches none of the maker's keys";
    case SignatureVerdict::Verified:
    case SignatureVerdict::CheckFailed:
      break;
  }
  return "its signature could not be checked";
}

std::string UpdateStartedText() {
  return "Keep the device connected until the update has finished.";
}

std::string TimeLeftText(std::int64_t seconds) {
  const std::int64_t minutes = TimeLeftMinutes(seconds);
  if (minutes == 0) return "Less than a minute left.";
  if (minutes == 1) return "About a minute left.";
  return "About " + std::to_string(minutes) + " minutes left.";
}

std::string TransferStatusText(std::int64_t seconds) {
  return UpdateStartedText() + " " + TimeLeftText(seconds);
}

std::string WaitingForBootloaderText() {
  return "Waiting for the device to start its bootloader...";
}

std::string WaitingForRestartText() {
  return "Waiting for the device to restart...";
}

std::string DurationText(std::int64_t seconds) {
  if (seconds < 60) return "It takes less than a minute.";
  // Whole minutes, to the nearest; "a minute" up to a minute and a half.
  const std::int64_t minutes = (seconds + 30) / 60;
  if (minutes < 2) return "It takes about a minute.";
  return "It takes about " + std::to_string(minutes) + " minutes.";
}

std::int64_t TransferSeconds(std::uint64_t imageBytes) {
  const auto blocks = static_cast<std::int64_t>(imageBytes / FlashRecordSize);
  return blocks * BlockPaceMicroseconds / 1'000'000;
}

}  // namespace dalvorn
