// The longest texts the status line can show, for the layout tests of both windows: each must
// fit the line's lines at every DPI.
#pragma once

#include <string>
#include <vector>

#include "file/regular_file.h"
#include "update/status_texts.h"

namespace dalvorn::testing {

inline std::vector<std::string> StatusLineSamples() {
  std::vector<std::string> texts = {
      ConnectDeviceText(),        ReadyToUpdateText(MaxFirmwareImageBytes),
      InBootloaderText(),         DevicesOfTheKindText(12),
      UpdateStartedText(),        TransferStatusText(9000),
      WaitingForBootloaderText(), WaitingForRestartText()};
  // The reasons of the systems (errno texts, Windows' messages) and of the program.
  for (const std::string& reason :
       {TooLargeReason(MaxFirmwareImageBytes), ShortImageReason(39), DirectoryReason(),
        NotRegularFileReason(), std::string("No such file or directory"),
        std::string("The system cannot find the file specified"),
        std::string("The process cannot access the file because it is being used")}) {
    ImageCheck check;
    check.error = reason;
    texts.push_back(ImageProblemText(FirmwareImageName, check));
  }
  for (const SignatureVerdict verdict :
       {SignatureVerdict::NoSignatureFile, SignatureVerdict::Unreadable,
        SignatureVerdict::Malformed, SignatureVerdict::NoMatch, SignatureVerdict::CheckFailed}) {
    ImageCheck check;
    check.signature = ImageSignature::Refused;
    check.verdict = verdict;
    texts.push_back(ImageProblemText(FirmwareImageName, check));
  }
  return texts;
}

}  // namespace dalvorn::testing
