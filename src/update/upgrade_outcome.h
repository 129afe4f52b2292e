// How an update ended, and the exit status that tells it to scripts.
#pragma once

namespace dalvorn {

enum class UpgradeOutcome {
  NotStarted,   // no device at the click, or no click at all
  Updated,      // every block taken, device back in application mode
  Failed,       // the device did not switch, refused a block, went away, was silent, or did
                // not come back with the new firmware
  Refused,      // refused before anything reached the device: a battery too low, the image
                // (or its signature), or a second device
  Interrupted,  // the window was closed while the update ran
};

inline int ExitStatus(UpgradeOutcome outcome) {
  switch (outcome) {
    case UpgradeOutcome::NotStarted:
    case UpgradeOutcome::Updated:
      return 0;
    case UpgradeOutcome::Failed:
      return 1;
    case UpgradeOutcome::Refused:
      return 2;
    case UpgradeOutcome::Interrupted:
      return 3;
  }
  return 1;
}

}  // namespace dalvorn
