#include "update/status_texts.h"

#include "update/block_transfer.h"

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
  const std::string verdict = check.signature == ImageSignature::Refused
                                  ? "\" is not signed by the maker: "
                                  : "\" cannot be read: ";
  return "The firmware image \"" + fileName + verdict + check.error + ".";
}

std::string UpdateStartedText() {
  return "Keep the device connected until the update has finished.";
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
