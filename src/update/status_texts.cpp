#include "update/status_texts.h"

#include "text/translation.h"
#include "update/block_transfer.h"
#include "update/transfer_progress.h"

namespace dalvorn {

std::string ConnectDeviceText() {
  return Tr("Connect the device to update its firmware.");
}

std::string ReadyToUpdateText(std::uint64_t imageBytes) {
  // TRANSLATORS: {duration} is one of the sentences "It takes about 3 minutes." below.
  return Format(Tr("Ready to update. {duration}"),
                {{"duration", DurationText(TransferSeconds(imageBytes))}});
}

std::string InBootloaderText() {
  return Tr(
      // TRANSLATORS: "Upgrade Firmware" is the button's caption, as the button shows it.
      "The device is in its bootloader: an earlier update did not finish. Upgrade Firmware "
      "installs the firmware again.");
}

std::string DevicesOfTheKindText(std::size_t count) {
  // TRANSLATORS: said only of two devices or more.
  return Format(TrN("{count} device of this kind is connected. Disconnect all but the one to "
                    "update.",
                    "{count} devices of this kind are connected. Disconnect all but the one to "
                    "update.",
                    count),
                {{"count", std::to_string(count)}});
}

std::string ImageProblemText(const std::string& fileName, const ImageCheck& check) {
  if (check.signature == ImageSignature::Refused) {
    return Format(Tr("The firmware image \"{name}\" is not signed by the maker: {reason}."),
                  {{"name", fileName}, {"reason", SignatureReasonInShort(check.verdict)}});
  }
  // TRANSLATORS: {reason} is one of the reasons a file cannot be read, or the system's own text.
  return Format(Tr("The firmware image \"{name}\" cannot be read: {reason}."),
                {{"name", fileName}, {"reason", check.error}});
}

std::string SignatureReasonInShort(SignatureVerdict verdict) {
  switch (verdict) {
    case SignatureVerdict::NoSignatureFile:
      return Tr("there is no signature file beside it");
    case SignatureVerdict::Unreadable:
      return Tr("its signature file cannot be read");
    case SignatureVerdict::Malformed:
      return Tr("its signature file is malformed");
    case SignatureVerdict::NoMatch:
      return Tr("its signature matches none of the maker's keys");
    case SignatureVerdict::Verified:
    case SignatureVerdict::CheckFailed:
      break;
  }
  return Tr("its signature could not be checked");
}

std::string UpdateStartedText() {
  return Tr("Keep the device connected until the update has finished.");
}

std::string TimeLeftText(std::int64_t seconds) {
  const std::int64_t minutes = TimeLeftMinutes(seconds);
  if (minutes == 0) return Tr("Less than a minute left.");
  if (minutes == 1) return Tr("About a minute left.");
  // TRANSLATORS: said only of two minutes or more.
  return Format(TrN("About {count} minute left.", "About {count} minutes left.",
                    static_cast<std::uint64_t>(minutes)),
                {{"count", std::to_string(minutes)}});
}

std::string TransferStatusText(std::int64_t seconds) {
  // TRANSLATORS: {time_left} is one of the sentences "About 3 minutes left." below; the first
  // sentence is the one said alone when the transfer starts.
  return Format(Tr("Keep the device connected until the update has finished. {time_left}"),
                {{"time_left", TimeLeftText(seconds)}});
}

std::string WaitingForBootloaderText() {
  return Tr("Waiting for the device to start its bootloader...");
}

std::string WaitingForRestartText() {
  return Tr("Waiting for the device to restart...");
}

std::string DurationText(std::int64_t seconds) {
  if (seconds < 60) return Tr("It takes less than a minute.");
  // Whole minutes, to the nearest; "a minute" up to a minute and a half.
  const std::int64_t minutes = (seconds + 30) / 60;
  if (minutes < 2) return Tr("It takes about a minute.");
  // TRANSLATORS: said only of two minutes or more.
  return Format(TrN("It takes about {count} minute.", "It takes about {count} minutes.",
                    static_cast<std::uint64_t>(minutes)),
                {{"count", std::to_string(minutes)}});
}

std::int64_t TransferSeconds(std::uint64_t imageBytes) {
  const auto blocks = static_cast<std::int64_t>(imageBytes / FlashRecordSize);
  return blocks * BlockPaceMicroseconds / 1'000'000;
}

}  // namespace dalvorn
