// The whole update: what a click on the upgrade button runs.
#pragma once

#include <string>

#include "update/block_transfer.h"
#include "update/upgrade_outcome.h"

namespace dalvorn {

// Reads the image whole, switches the device into its bootloader when it is in application
// mode, re-finds it, reads its status and unlocks it when asked, sends the image, tells the
// person when the update failed, and unloads the window. Does nothing (NotStarted) when no
// device was found.
UpgradeOutcome RunUpgradeSequence(UpgradeContext& context);

// The message box texts: an image refused before anything was sent, and a failed transfer.
std::string ImageRefusalText(const std::string& path, const std::string& reason);
std::string TransferFailureText(const TransferOutcome& outcome);

}  // namespace dalvorn
