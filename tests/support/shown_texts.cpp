#include "shown_texts.h"

#include "file/regular_file.h"
#include "status_line_samples.h"
#include "text/built_in_catalogues.h"
#include "text/translation.h"
#include "update/block_transfer.h"
#include "update/firmware_image.h"
#include "update/upgrade_captions.h"
#include "update/upgrade_sequence.h"

namespace dalvorn {

std::vector<ShownText> EveryShownText() {
  using Where = ShownText::Where;
  std::vector<ShownText> texts = {{Where::Title, Control::frmMain, ShownWindowCaption()}};
  for (const ControlLayout& row : MainWindowLayout) {
    if (row.caption.empty() || row.control == Control::UnusedLoadButton) continue;
    texts.push_back({Where::Control, row.control, ShownCaption(row)});
  }
  for (std::string_view caption : UpgradeCaptions) {
    texts.push_back({Where::Control, Control::btnUpgradeFW, Tr(caption)});
  }

  // The status line's longest texts, and each of its sentences with a count (the devices, the
  // time an update takes, the time left) in the forms the languages give two, five and 22.
  std::vector<std::string> status = testing::StatusLineSamples();
  for (std::size_t count : {2, 5, 22}) status.push_back(DevicesOfTheKindText(count));
  for (std::int64_t seconds : {0, 60, 120, 300, 1320}) {
    const auto blocks = static_cast<std::uint64_t>(seconds * 1'000'000 / BlockPaceMicroseconds);
    status.push_back(ReadyToUpdateText((blocks + 1) * FlashRecordSize));
    status.push_back(TransferStatusText(seconds));
  }
  for (std::string& text : status) texts.push_back({Where::StatusLine, Control::lblStatus, text});

  FirmwareImage oneByte;
  oneByte.bytes.resize(1);
  std::string tooShort;
  CheckFirmwareImage(oneByte, tooShort);
  const std::string name = "Varnholt.bin.sig";
  std::vector<std::string> boxes = {BatteryTooLowText(24),        TooManyDevicesText(2),
                                    TooManyDevicesText(5),        NotSwitchedText(),
                                    ReportsTooShortText(true, 1), ReportsTooShortText(false, 22),
                                    BootloaderTooShortText(39),   AnotherDeviceText()};
  for (const char* path : {"/opt/dalvorn-firmware-update/Varnholt.bin",
                           "C:\\Program Files\\Dalvorn firmware update\\Varnholt.bin"}) {
    for (const std::string& reason :
         {DirectoryReason(), NotRegularFileReason(), TooLargeReason(MaxFirmwareImageBytes),
          tooShort, std::string("No such file or directory")}) {
      boxes.push_back(ImageRefusalText(path, reason));
    }
    for (SignatureVerdict verdict :
         {SignatureVerdict::NoSignatureFile, SignatureVerdict::Unreadable,
          SignatureVerdict::Malformed, SignatureVerdict::NoMatch, SignatureVerdict::CheckFailed}) {
      boxes.push_back(
          UnsignedImageText(path, SignatureRefusalReason(verdict, name, NotRegularFileReason())));
    }
  }
  for (TransferResult result :
       {TransferResult::BlockRefused, TransferResult::Disconnected, TransferResult::NoAnswer,
        TransferResult::BackInBootloader, TransferResult::NotRestarted, TransferResult::NoDevice,
        TransferResult::AnotherDevice}) {
    TransferOutcome outcome;
    outcome.result = result;
    outcome.refusedBlock = 419430;
    outcome.blockCount = 419430;
    boxes.push_back(TransferFailureText(outcome));
  }
  for (std::string& text : boxes) texts.push_back({Where::MessageBox, Control::frmMain, text});
  return texts;
}

std::vector<std::string> LanguagesToMeasure() {
  std::vector<std::string> languages = {"", std::string(PseudoLanguage)};
  for (const auto& catalogue : generated::BuiltInCatalogues()) {
    languages.emplace_back(catalogue.language);
  }
  return languages;
}

std::string LanguageTestName(const std::string& language) {
  std::string name = language.empty() ? "en" : language;
  for (char& c : name) {
    if (c == '-') c = '_';
  }
  return name;
}

}  // namespace dalvorn
