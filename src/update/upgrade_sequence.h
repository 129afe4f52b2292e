// The whole update, run by a click on the upgrade button.
#pragma once

#include "update/block_transfer.h"
#include "update/upgrade_outcome.h"

namespace dalvorn {

// Switches the device into its bootloader when it is in application mode, re-finds it, reads
// its status and unlocks it when asked, sends the image, and unloads the window. Does nothing
// (NotStarted) when no device was found.
UpgradeOutcome btnUpgradeFW_Click(UpgradeContext& context);

}  // namespace dalvorn
