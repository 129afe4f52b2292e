#include "shown_texts.h"

#include "file/regular_file.h"
#include "text/built_in_catalogues.h"
#include "text/translation.h"
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
