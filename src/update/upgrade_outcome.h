// How an update ended, and the exit status that tells it to scripts.
#pragma once

namespace dalvorn {

enum class UpgradeOutcome {
  NotStarted,       // no device at the click, or no click at all
  Updated,          // every block taken, device back in application mode
  Failed,           // a block refused, the device silent, or back in bootloader mode
  ImageUnreadable,  // the firmware image could not be opened
  Interrupted,      // the window was closed while the update ran
};

inline int ExitStatus(UpgradeOutcome outcome) {
  switch (outcome) {
    case UpgradeOutcome::NotStarted:
    case UpgradeOutcome::Updated:
      return 0;
    case UpgradeOutcome::Failed:
      return 1;
    case UpgradeOutcome::ImageUnreadable:
      return 2;
    case UpgradeOutcome::Interrupted:
      return 3;
  }
  return 1;
}

}  // namespace dalvorn
